#include "SandboxURLBookmark.h"

#include "AccessRequest_p.h"
#include "BookmarkData.h"

#include "foundation/errors/GeneralError.h"
#include "foundation/app/KvApp.h"
#include "foundation/files/Trash.h"
#include "foundation/files/WellKnownFolders.h"
#include "platform/alerts/Alert.h"
#include "platform/alerts/OpenPanel.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QSet>

#include <mutex>

Q_LOGGING_CATEGORY(lcBookmark, "kestrova.store")

namespace kestrova {

namespace {

// Titles and icons resolve bookmarks on every redraw: a bookmark without a URL is reported the first time
// only, or one damaged record would write a report per frame.
bool isFirstReportOf(const QByteArray &bookmarkData) {
    static std::mutex mutex;
    static QSet<QByteArray> reported;
    std::lock_guard lock(mutex);
    if (reported.contains(bookmarkData))
        return false;
    reported.insert(bookmarkData);
    return true;
}

QString displayName(const QUrl &directory) {
    if (directory == url::rootDirectory())
        return QStringLiteral("root");
    if (directory == url::applicationsDirectory())
        return QStringLiteral("global “%1”").arg(accessrequest::homeAbbreviatedPath(directory));
    if (directory == url::userApplicationsDirectory())
        return QStringLiteral("user “%1”").arg(accessrequest::homeAbbreviatedPath(directory));
    return QStringLiteral("“%1”").arg(accessrequest::lastPathComponent(directory));
}

} // namespace

QByteArray SandboxURLBookmark::rawValue() const {
    return BookmarkData::renewedForNewDevice(m_bookmarkData).value_or(m_bookmarkData);
}

std::optional<QUrl> SandboxURLBookmark::originalURL() const {
    const auto values =
        BookmarkData::resourceValues(m_bookmarkData, {QLatin1String(BookmarkData::kUrlStringKey)});
    const QString text = values.value(QLatin1String(BookmarkData::kUrlStringKey)).toString();
    if (text.isEmpty())
        return std::nullopt;
    const QUrl url = QUrl::fromEncoded(text.toUtf8(), QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

QVariantMap SandboxURLBookmark::allProperties() const {
    return BookmarkData::resourceValues(m_bookmarkData, {QLatin1String(BookmarkData::kAllPropertiesKey)});
}

std::optional<QUrl> SandboxURLBookmark::url() const {
    const auto original = originalURL();
    if (!original && isFirstReportOf(m_bookmarkData))
        KvApp::reportError(GeneralError(QStringLiteral("originalURL for bookmark is `nil`")));
    BookmarkData::Resolution resolution;
    try {
        resolution = BookmarkData::resolve(m_bookmarkData);
    } catch (const Error &) {
        return std::nullopt;
    }
    if (url::isInTrash(resolution.url))
        return std::nullopt;
    if (resolution.isStale)
        qCInfo(lcBookmark).noquote() << "SandboxURLBookmark: Bookmark for"
                                     << original.value_or(QUrl(QStringLiteral("<Unknown>"))).toDisplayString()
                                     << "is stale";
    return resolution.url;
}

QString SandboxURLBookmark::accessoryText(const QUrl &directoryUrl) {
    QString text = QStringLiteral("Click the “Allow” button to proceed\nDo not change the folder");
    if (directoryUrl == url::userApplicationsDirectory())
        text +=
            QStringLiteral("\n\nThere are two main apps folders: the global “%1” folder and the “%2” folder "
                           "in your home folder. Apps get access to the former by default. %3 is requesting "
                           "access to the user “%2” folder.")
                .arg(accessrequest::homeAbbreviatedPath(url::applicationsDirectory()),
                     accessrequest::homeAbbreviatedPath(directoryUrl), accessrequest::applicationName());
    return text;
}

QCoro::Task<std::optional<SandboxURLBookmark>> SandboxURLBookmark::request(QUrl url, QWindow *window) {
    QPointer<QWindow> parent = window;
    // Each wrong pick asks again; only the user's cancel or the right folder ends the loop.
    for (;;) {
        const QUrl directory = accessrequest::canonicalDirectory(accessrequest::requestedDirectory(url));

        auto panel = std::make_shared<platform::OpenPanel>();
        panel->message = QStringLiteral("%1 needs access to the %2 folder.")
                             .arg(accessrequest::applicationName(), displayName(directory));
        panel->prompt = QStringLiteral("Allow");
        panel->directoryUrl = directory;
        panel->canChooseFiles = false;
        panel->canChooseDirectories = true;
        panel->allowsMultipleSelection = false;
        panel->canCreateDirectories = false;
        panel->shouldEnable = [directory](const QUrl &item) {
            return url::relationship(directory, item) != url::ItemRelationship::contains;
        };
        panel->accessoryText = accessoryText(directory);

        const int response = co_await platform::OpenPanelPresenter::shared().begin(panel, parent.data());
        if (response != platform::ModalResponse::ok || panel->urls.empty())
            co_return std::nullopt;

        // The dialog answers without a trailing slash and perhaps through a symbolic link: compare where
        // both really are.
        const QUrl chosen = accessrequest::canonicalDirectory(panel->urls.front());
        if (chosen != directory) {
            const QString requestedPath = accessrequest::homeAbbreviatedPath(directory);
            const QString chosenPath = accessrequest::homeAbbreviatedPath(chosen);
            auto alert = std::make_shared<platform::Alert>();
            alert->messageText = QStringLiteral("Incorrect Folder");
            alert->informativeText =
                QStringLiteral("Requested “%1” but received “%2”.").arg(requestedPath, chosenPath);
            alert->alertStyle = platform::Alert::Style::warning;
            alert->addButton(QStringLiteral("Try Again"));
            co_await platform::AlertPresenter::shared().run(alert);
            KvApp::reportError(
                GeneralError(QStringLiteral("Requested “%1” and got “%2”.").arg(requestedPath, chosenPath)));
            continue;
        }

        try {
            co_return SandboxURLBookmark(BookmarkData::create(chosen, BookmarkData::kWithSecurityScope));
        } catch (const Error &) {
            // A folder we may only read still gets a bookmark.
        }
        co_return SandboxURLBookmark(BookmarkData::create(
            chosen, BookmarkData::kWithSecurityScope | BookmarkData::kSecurityScopeAllowOnlyReadAccess));
    }
}

QCoro::Task<bool> SandboxURLBookmark::requestAgain() {
    const auto original = originalURL();
    if (!original)
        co_return false;
    std::optional<Error> failure;
    try {
        auto bookmark = co_await request(*original);
        if (!bookmark)
            co_return false;
        m_bookmarkData = bookmark->m_bookmarkData;
        co_return true;
    } catch (const Error &error) {
        failure = error;
    }
    KvApp::reportError(*failure);
    co_await accessrequest::presentError(*failure);
    co_return false;
}

} // namespace kestrova
