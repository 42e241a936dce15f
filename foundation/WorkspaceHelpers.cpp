#include "Workspace.h"

#include "AlertBuilder.h"
#include "KvApp.h"
#include "Log.h"
#include "Memoize.h"
#include "PasteboardURL.h"
#include "QueryParameters.h"

#include <QUrlQuery>

namespace kestrova {
namespace workspace {

std::optional<QUrl> cachedURLForApplication(const QString &bundleIdentifier) {
    // One call site for every caller, so that they all share the entries.
    return memoize<std::optional<QUrl>>({bundleIdentifier}, 1.0,
                                        [&] { return urlForApplication(bundleIdentifier); });
}

std::optional<QUrl> defaultEmailClientURL() {
    return urlForApplicationToOpen(QStringLiteral("mailto"));
}

void openSystemSettings(const QString &pane) {
    log({QStringLiteral("There are no system settings panes to open here"), pane});
}

void openFilesAndFoldersPrivacySettings() {
    platform::Alert alert = makeAlert(
        {.title = QStringLiteral("%1 can open every folder your user account can read.").arg(KvApp::name()),
         .message =
             QStringLiteral("There is no separate file-access setting on this system. When a folder cannot "
                            "be listed, give your user account read permission for it, for example in the "
                            "folder's Properties in your file manager.")});
    platform::AlertPresenter::shared().runModal(alert);
}

} // namespace workspace

std::vector<std::pair<QString, QString>>
percentEncodedQueryItems(const std::vector<std::pair<QString, QString>> &items) {
    std::vector<std::pair<QString, QString>> encoded;
    for (const auto &[name, value] : items) {
        const auto encodedName = url::percentEncodedQueryText(name);
        const auto encodedValue = url::percentEncodedQueryText(value);
        if (encodedName && encodedValue)
            encoded.emplace_back(*encodedName, *encodedValue);
    }
    return encoded;
}

QUrl KvApp::feedbackPageURL(const std::optional<QString> &message, const std::optional<QString> &extraInfo) {
    std::vector<std::pair<QString, QString>> items{{QStringLiteral("product"), name()},
                                                   {QStringLiteral("metadata"), debugInfoText()}};
    if (message)
        items.emplace_back(QStringLiteral("messageField"), *message);
    if (extraInfo)
        items.emplace_back(QStringLiteral("extraInfo"), *extraInfo);
    QStringList query;
    for (const auto &[name, value] : percentEncodedQueryItems(items))
        query << name + QLatin1Char('=') + value;
    QUrl url(QStringLiteral("https://kestrova.org/feedback"));
    // Already encoded: Qt must take the text as it is.
    url.setQuery(query.join(QLatin1Char('&')), QUrl::StrictMode);
    return url;
}

bool setURL(platform::PasteboardItem &item, const QUrl &url) {
    const QByteArray encoded = url.toEncoded();
    if (!item.setData(encoded + "\r\n", QString::fromLatin1(platform::PasteboardType::uriList)))
        return false;
    QString text;
    if (url.isLocalFile()) {
        text = url.toLocalFile();
    } else {
        text = QString::fromUtf8(encoded);
        if (text.startsWith(QStringLiteral("mailto:")))
            text = text.mid(7);
    }
    return item.setString(text, QString::fromLatin1(platform::PasteboardType::string));
}

bool writeURLs(platform::Pasteboard &pasteboard, const std::vector<QUrl> &urls) {
    platform::PasteboardItem item;
    QByteArray uriList;
    QStringList texts;
    for (const QUrl &url : urls) {
        platform::PasteboardItem single;
        if (!setURL(single, url))
            return false;
        uriList += single.data(QString::fromLatin1(platform::PasteboardType::uriList));
        texts << single.string(QString::fromLatin1(platform::PasteboardType::string));
    }
    item.setData(uriList, QString::fromLatin1(platform::PasteboardType::uriList));
    item.setString(texts.join(QLatin1Char('\n')), QString::fromLatin1(platform::PasteboardType::string));
    item.setString(KvApp::id(), QString::fromLatin1(platform::PasteboardType::source));
    pasteboard.clearContents();
    return pasteboard.writeObjects({item});
}

} // namespace kestrova
