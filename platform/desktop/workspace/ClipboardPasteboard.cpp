#include "ClipboardPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kestrova::platform::desktop {

void ClipboardPasteboard::clearContents() {
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->clear();
}

bool ClipboardPasteboard::writeObjects(const std::vector<PasteboardItem> &items) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard || items.empty())
        return false;
    auto *mimeData = new QMimeData;
    for (const PasteboardItem &item : items) {
        for (const QString &type : item.types()) {
            if (mimeData->hasFormat(type))
                continue;
            if (type == QLatin1String(PasteboardType::string))
                mimeData->setText(item.string(type));
            else
                mimeData->setData(type, item.data(type));
        }
    }
    clipboard->setMimeData(mimeData); // the clipboard takes ownership
    return true;
}

std::vector<PasteboardItem> ClipboardPasteboard::pasteboardItems() const {
    const QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *mimeData = clipboard ? clipboard->mimeData() : nullptr;
    if (!mimeData || mimeData->formats().isEmpty())
        return {};
    PasteboardItem item;
    for (const QString &format : mimeData->formats()) {
        if (format == QLatin1String("text/plain")) {
            // The bytes as written: text that is not UTF-8 (a path of other bytes) keeps its bare type.
            const QByteArray text = mimeData->data(format);
            item.setData(text, QByteArrayView(text).isValidUtf8()
                                   ? QString::fromLatin1(PasteboardType::string)
                                   : format);
        } else
            item.setData(mimeData->data(format), format);
    }
    return {item};
}

} // namespace kestrova::platform::desktop
