#include "SecurityScopedBookmarkManager.h"

#include "AccessRequest_p.h"
#include "BookmarkData.h"
#include "DefaultsMigration.h"

#include "foundation/files/FileUrl.h"
#include "foundation/files/WellKnownFolders.h"
#include "platform/alerts/Alert.h"
#include "platform/alerts/OpenPanel.h"

#include <QLoggingCategory>

#include <sys/stat.h>

Q_DECLARE_LOGGING_CATEGORY(lcBookmark)

namespace kestrova {

namespace {

// The panel runs a nested event loop, from which a second request can arrive. Holding a lock across it would
// block the main thread for good; the second request is turned away instead.
bool requestInProgress = false;

struct RequestInProgress {
    RequestInProgress() { requestInProgress = true; }
    ~RequestInProgress() { requestInProgress = false; }
    RequestInProgress(const RequestInProgress &) = delete;
    RequestInProgress &operator=(const RequestInProgress &) = delete;
};

bool isDirectory(const QUrl &url) {
    struct stat status {};
    return ::stat(url::localPath(url).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

const Defaults::Key<std::map<QString, QByteArray>> &SecurityScopedBookmarkManager::userDefaultsKey() {
    static const Defaults::Key<std::map<QString, QByteArray>> key(
        QStringLiteral("__securityScopedBookmarks__"), {});
    return key;
}

std::map<QString, QByteArray> SecurityScopedBookmarkManager::bookmarks() {
    Defaults::migrate<std::map<QString, QByteArray>>({&userDefaultsKey()}, Defaults::Version::v5);
    return Defaults::get(userDefaultsKey());
}

QString SecurityScopedBookmarkManager::mapKey(const QUrl &url) {
    const QByteArray path = url::localPath(url);
    if (path.isEmpty())
        return QString::fromUtf8(url.toEncoded());
    char resolved[PATH_MAX];
    const QByteArray real = ::realpath(path.constData(), resolved) ? QByteArray(resolved) : path;
    const QUrl realUrl = url::fromLocalPath(real, isDirectory(url::fromLocalPath(real)) ||
                                                      url.path().endsWith(QLatin1Char('/')));
    return QString::fromUtf8(realUrl.toEncoded());
}

void SecurityScopedBookmarkManager::saveBookmark(const std::optional<QByteArray> &data, const QUrl &url) {
    auto map = bookmarks();
    if (data)
        map.insert_or_assign(mapKey(url), *data);
    else
        map.erase(mapKey(url));
    Defaults::set(userDefaultsKey(), map);
}

std::optional<QByteArray> SecurityScopedBookmarkManager::bookmarkData(const QUrl &url) {
    const auto map = bookmarks();
    const auto found = map.find(mapKey(url));
    if (found == map.end())
        return std::nullopt;
    return found->second;
}

std::optional<QUrl> SecurityScopedBookmarkManager::bookmarkURL(const QUrl &url) {
    const auto data = bookmarkData(url);
    if (!data)
        return std::nullopt;
    BookmarkData::Resolution resolution;
    try {
        resolution = BookmarkData::resolve(*data);
    } catch (const Error &) {
        return std::nullopt;
    }
    if (!resolution.isStale)
        return resolution.url;
    const bool started = BookmarkData::startAccessingSecurityScopedResource(resolution.url);
    std::optional<QByteArray> renewed;
    try {
        renewed = BookmarkData::create(resolution.url, BookmarkData::kWithSecurityScope);
    } catch (const Error &) {
    }
    if (started)
        BookmarkData::stopAccessingSecurityScopedResource(resolution.url);
    if (!renewed)
        return std::nullopt;
    saveBookmark(renewed, resolution.url);
    return resolution.url;
}

bool SecurityScopedBookmarkManager::isRequestInProgress() {
    return requestInProgress;
}

QCoro::Task<std::optional<QUrl>>
SecurityScopedBookmarkManager::requestAccess(QUrl url, std::optional<QString> message) {
    if (requestInProgress) {
        qCInfo(lcBookmark) << "A folder-access request is already showing; not asking for"
                           << url.toDisplayString() << "as well";
        co_return std::nullopt;
    }
    RequestInProgress guard;

    const QUrl currentURL = accessrequest::canonicalDirectory(url);
    const QString displayName = url::localPath(url) == "/"
                                    ? QStringLiteral("root")
                                    : QStringLiteral("“%1”").arg(accessrequest::lastPathComponent(url));
    for (;;) {
        auto panel = std::make_shared<platform::OpenPanel>();
        panel->title = QStringLiteral("Permission");
        panel->prompt = QStringLiteral("Allow");
        panel->message =
            message.value_or(QStringLiteral("%1 needs access to the %2 folder. Click “Allow” to proceed.")
                                 .arg(accessrequest::applicationName(), displayName));
        panel->directoryUrl = url;
        panel->canChooseFiles = false;
        panel->canChooseDirectories = true;
        panel->allowsMultipleSelection = false;
        panel->canCreateDirectories = false;

        const int response = co_await platform::OpenPanelPresenter::shared().begin(panel);
        if (response != platform::ModalResponse::ok || panel->urls.empty())
            co_return std::nullopt;

        const QUrl chosen = panel->urls.front();
        // Validation of the pick: the wrong folder is refused and the panel comes back.
        if (accessrequest::canonicalDirectory(chosen) != currentURL) {
            auto alert = std::make_shared<platform::Alert>();
            alert->messageText = QStringLiteral("Incorrect directory.");
            alert->informativeText = QStringLiteral("Select the directory “%1”.")
                                         .arg(accessrequest::homeAbbreviatedPath(currentURL));
            alert->addButton(QStringLiteral("OK"));
            co_await platform::AlertPresenter::shared().run(alert);
            continue;
        }

        std::optional<Error> failure;
        const bool started = BookmarkData::startAccessingSecurityScopedResource(chosen);
        std::optional<QByteArray> data;
        try {
            data = BookmarkData::create(chosen, BookmarkData::kWithSecurityScope);
        } catch (const Error &error) {
            failure = error;
        }
        if (started)
            BookmarkData::stopAccessingSecurityScopedResource(chosen);
        if (failure) {
            co_await accessrequest::presentError(*failure);
            co_return std::nullopt;
        }
        saveBookmark(data, chosen);
        co_return chosen;
    }
}

QCoro::Task<> SecurityScopedBookmarkManager::access(QUrl url, std::function<void()> work) {
    const QUrl directory = accessrequest::requestedDirectory(url);
    auto granted = bookmarkURL(directory);
    if (!granted)
        granted = co_await requestAccess(directory);
    if (!granted)
        co_return;

    const bool started = BookmarkData::startAccessingSecurityScopedResource(*granted);
    std::optional<Error> failure;
    try {
        work();
    } catch (const Error &error) {
        failure = error;
    }
    if (started)
        BookmarkData::stopAccessingSecurityScopedResource(*granted);
    if (failure)
        co_await accessrequest::presentError(*failure);
}

} // namespace kestrova
