#include "ApplicationUtilities.h"

#include "ui-kit/utilities/UrlOpener.h"

#include "foundation/errors/Error.h"
#include "foundation/files/FileUrl.h"
#include "foundation/media/MediaDimensions.h"
#include "foundation/files/WellKnownFolders.h"

#include <QFile>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <dirent.h>

namespace kestrova {

std::vector<QUrl> contentsOfDirectoryMergingSystemApplications(const QUrl &directory,
                                                               DirectoryListingOptions options) {
    const QByteArray path = url::localPath(directory);
    std::unique_ptr<DIR, int (*)(DIR *)> handle(::opendir(path.constData()), ::closedir);
    if (!handle)
        throw posixError(errno,
                         QStringLiteral("Could not list the folder “%1”.").arg(QFile::decodeName(path)));
    std::vector<QUrl> entries;
    const QByteArray prefix = path.endsWith('/') ? path : path + '/';
    errno = 0;
    while (const dirent *entry = ::readdir(handle.get())) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (options.skipsHiddenFiles && name.startsWith('.'))
            continue;
        entries.push_back(url::fromLocalPath(prefix + name, entry->d_type == DT_DIR));
    }
    if (errno != 0)
        throw posixError(errno,
                         QStringLiteral("Could not list the folder “%1”.").arg(QFile::decodeName(path)));
    return entries;
}

void openRequestingPhotosAccess(const QUrl &url) {
    UrlOpener::open(url);
}

std::optional<QSize> mediaDimensions(const QUrl &url, std::chrono::milliseconds timeLimit,
                                     const MediaDimensionsLookUp &lookUp) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable finished;
        bool isFinished = false;
        std::optional<QSize> size;
    };
    auto shared = std::make_shared<Shared>();
    // A thread of its own rather than a pool's: a read that hangs keeps its thread forever, and the pool
    // would wait for it at exit.
    std::thread([shared, url, lookUp] {
        const auto size = lookUp ? lookUp(url) : url::mediaDimensions(url);
        std::lock_guard lock(shared->mutex);
        shared->size = size;
        shared->isFinished = true;
        shared->finished.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->finished.wait_for(lock, timeLimit, [&] { return shared->isFinished; }))
        return std::nullopt;
    return shared->size;
}

std::optional<double> imageAspectRatio(const QUrl &url) {
    // Other desktops fall back to a thumbnail's shape; a size that cannot be read has none here either.
    const auto size = mediaDimensions(url);
    if (!size || size->width() <= 0 || size->height() <= 0)
        return std::nullopt;
    return double(size->width()) / double(size->height());
}

QUrl applicationsUtilitiesDirectory() {
    static const QUrl directory =
        url::appendingPathComponent(url::applicationsDirectory(), QStringLiteral("Utilities"), true);
    return directory;
}

QUrl systemApplicationsUtilitiesDirectory() {
    static const QUrl directory =
        url::appendingPathComponent(url::systemApplicationsDirectory(), QStringLiteral("Utilities"), true);
    return directory;
}

} // namespace kestrova
