#include "Workspace.h"

#include "foundation/errors/AlertBuilder.h"
#include "foundation/files/FileUrl.h"
#include "foundation/app/KvApp.h"
#include "foundation/app/Log.h"
#include "foundation/collections/Memoize.h"
#include "PasteboardURL.h"
#include "foundation/text/QueryParameters.h"

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
    // A folder is named without a trailing slash, as file managers copy it and as its path is copied.
    QUrl named = url;
    if (url.isLocalFile() && url.path().size() > 1 && url.path().endsWith(QLatin1Char('/')))
        named.setPath(url.path(QUrl::FullyEncoded).chopped(1), QUrl::TolerantMode);
    const QByteArray encoded = named.toEncoded();
    if (!item.setData(encoded + "\r\n", QString::fromLatin1(platform::PasteboardType::uriList)))
        return false;
    if (url.isLocalFile())
        return setFilePath(item, url);
    QString text = QString::fromUtf8(encoded);
    if (text.startsWith(QStringLiteral("mailto:")))
        text = text.mid(7);
    return item.setString(text, QString::fromLatin1(platform::PasteboardType::string));
}

bool setFilePath(platform::PasteboardItem &item, const QUrl &fileUrl) {
    // From the URL's bytes, never through QUrl::toLocalFile, which replaces what is not UTF-8 and keeps a
    // folder's trailing slash.
    const QByteArray path = url::localPath(fileUrl);
    if (path.isEmpty())
        return false;
    if (QByteArrayView(path).isValidUtf8())
        return item.setData(path, QString::fromLatin1(platform::PasteboardType::string));
    return item.setData(path, QStringLiteral("text/plain"));
}

bool writeURLs(platform::Pasteboard &pasteboard, const std::vector<QUrl> &urls) {
    platform::PasteboardItem item;
    QByteArray uriList;
    QByteArrayList texts;
    bool isText = true;
    for (const QUrl &url : urls) {
        platform::PasteboardItem single;
        if (!setURL(single, url))
            return false;
        uriList += single.data(QString::fromLatin1(platform::PasteboardType::uriList));
        // A path that is not UTF-8 sits under the bare text type; the joined text keeps its bytes too.
        const QString textType = single.hasType(QString::fromLatin1(platform::PasteboardType::string))
                                     ? QString::fromLatin1(platform::PasteboardType::string)
                                     : QStringLiteral("text/plain");
        isText = isText && textType == QLatin1String(platform::PasteboardType::string);
        texts << single.data(textType);
    }
    item.setData(uriList, QString::fromLatin1(platform::PasteboardType::uriList));
    item.setData(texts.join('\n'), isText ? QString::fromLatin1(platform::PasteboardType::string)
                                          : QStringLiteral("text/plain"));
    item.setString(KvApp::id(), QString::fromLatin1(platform::PasteboardType::source));
    pasteboard.clearContents();
    return pasteboard.writeObjects({item});
}

} // namespace kestrova
