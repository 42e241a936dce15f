#include "PreviewScreen.h"

#include "FileRows.h"

#include "ui-kit/views/HostingView.h"
#include "ui-kit/views/QuickLookPreview.h"

#include <QVBoxLayout>

#include <cmath>

namespace kestrova {

PreviewScreen::PreviewScreen(QUrl url, FilePreviewContent content, double previewHeight,
                             std::optional<platform::Binding<bool>> isMenuOpen, QWidget *parent)
    : FileDragView(std::move(url), std::move(isMenuOpen), /*deferMenuClose=*/false, parent)
    , m_box(new QuickLookPreview) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->addWidget(m_box, 0, Qt::AlignHCenter);
    QSizeF box(kPreviewSide, previewHeight);
    if (content.kind == FilePreviewContent::Kind::text) {
        m_box->setText(content.text);
    } else {
        m_box->setPicture(content.thumbnail);
        const QSizeF picture = content.thumbnail.deviceIndependentSize();
        // A picture fills the width and keeps its proportions; a previewed one sits in the preview box.
        if (content.shouldUseImage && !picture.isEmpty())
            box.setHeight(picture.scaled(QSizeF(kPreviewSide, kPreviewSide), Qt::KeepAspectRatio).height());
    }
    m_box->setFixedSize(kPreviewSide, std::max(1, int(std::ceil(box.height()))));
}

QSize PreviewScreen::boxSize() const {
    return m_box->size();
}

FilePreviewRow::FilePreviewRow(std::shared_ptr<FileDetails> details,
                               std::optional<platform::Binding<bool>> isMenuOpen, QWidget *parent)
    : QWidget(parent)
    , m_details(std::move(details))
    , m_isMenuOpen(std::move(isMenuOpen))
    , m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    connect(m_details.get(), &FileDetails::changed, this, &FilePreviewRow::refresh);
    refresh();
}

void FilePreviewRow::refresh() {
    const auto &preview = m_details->preview();
    const auto &facts = m_details->facts();
    if (preview && preview->kind != FilePreviewContent::Kind::dragHandle) {
        if (qobject_cast<PreviewScreen *>(m_current))
            return;
        std::optional<double> ratio;
        if (facts && facts->dimensions && facts->dimensions->height() > 0)
            ratio = double(facts->dimensions->width()) / double(facts->dimensions->height());
        else if (!preview->thumbnail.isNull() && preview->thumbnail.height() > 0)
            ratio = double(preview->thumbnail.width()) / double(preview->thumbnail.height());
        const std::optional<QString> text =
            preview->kind == FilePreviewContent::Kind::text ? std::optional(preview->text) : std::nullopt;
        const double height = previewHeight(text, facts ? facts->fileSize.value_or(0) : 0, ratio, font());
        replaceCurrentView();
        m_current = new PreviewScreen(m_details->url(), *preview, height, m_isMenuOpen);
        m_layout->addWidget(m_current);
        return;
    }
    auto *handle = qobject_cast<DragMeView *>(m_current);
    if (!handle) {
        replaceCurrentView();
        m_current = handle = new DragMeView(m_details->url(), m_isMenuOpen);
        m_layout->addWidget(m_current);
    }
    if (facts && facts->contentType)
        handle->setContentType(*facts->contentType);
}

void FilePreviewRow::replaceCurrentView() {
    if (!m_current)
        return;
    // Later, not now: the view may be running a drag that this change arrived during.
    m_current->hide();
    m_current->deleteLater();
    m_current = nullptr;
}

void setPreviewRowView(platform::MenuItem &item, std::shared_ptr<FileDetails> details,
                       std::optional<platform::Binding<bool>> isMenuOpen) {
    setHostedView(
        item, QStringLiteral("file preview"),
        [details, isMenuOpen = std::move(isMenuOpen)] { return new FilePreviewRow(details, isMenuOpen); },
        /*forceAllowsVibrancy=*/false);
    setExportedForm(item, std::move(details), exportedPreview);
}

} // namespace kestrova
