#include "BookmarkData.h"

#include "foundation/errors/Error.h"
#include "foundation/files/FileUrl.h"
#include "foundation/json/JsonCoding.h"

#include <QFile>
#include <QHash>

#include <mutex>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::BookmarkData {

namespace {

constexpr auto kRecordType = "kestrova.bookmark";
constexpr int kRecordVersion = 1;

struct Record {
    QUrl url;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool isDirectory = false;
    bool isReadOnly = false;
    // The device of the folder above; records made before it was kept have none.
    std::optional<std::uint64_t> parentDevice;
};

Error damagedDataError() {
    return Error(ErrorDomain::system, 259,
                 {{ErrorKey::localizedDescription,
                   QStringLiteral("The file couldn’t be opened because it isn’t in the correct format.")}});
}

std::optional<Record> parse(const QByteArray &data) {
    const auto json = JsonText::decode(data);
    if (!json || !json->is_object())
        return std::nullopt;
    try {
        if (fromJson<QString>(requiredMember(*json, "type")) != QLatin1String(kRecordType) ||
            fromJson<int>(requiredMember(*json, "version")) != kRecordVersion)
            return std::nullopt;
        Record record;
        record.url =
            QUrl::fromEncoded(fromJson<QString>(requiredMember(*json, "url")).toUtf8(), QUrl::StrictMode);
        record.device = fromJson<std::uint64_t>(requiredMember(*json, "device"));
        record.inode = fromJson<std::uint64_t>(requiredMember(*json, "inode"));
        record.isDirectory = fromJson<bool>(requiredMember(*json, "isDirectory"));
        record.isReadOnly = fromJson<bool>(requiredMember(*json, "isReadOnly"));
        if (json->contains("parentDevice"))
            record.parentDevice = fromJson<std::uint64_t>((*json)["parentDevice"]);
        if (!record.url.isValid() || !record.url.isLocalFile() || url::localPath(record.url).isEmpty())
            return std::nullopt;
        return record;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

QString displayPath(const QByteArray &path) {
    return QFile::decodeName(path);
}

} // namespace

QByteArray create(const QUrl &url, unsigned options) {
    const QByteArray path = url::localPath(url);
    if (path.isEmpty())
        throw posixError(ENOENT,
                         QStringLiteral("Could not make a bookmark for “%1”").arg(url.toDisplayString()));
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        throw posixError(errno, QStringLiteral("Could not make a bookmark for “%1”").arg(displayPath(path)));
    const bool isDirectory = S_ISDIR(status.st_mode);
    const bool readOnly = options & kSecurityScopeAllowOnlyReadAccess;
    const int wanted = (isDirectory ? R_OK | X_OK : R_OK) | (readOnly ? 0 : W_OK);
    if (::access(path.constData(), wanted) != 0)
        throw posixError(errno, QStringLiteral("Could not make a bookmark for “%1”").arg(displayPath(path)));

    struct stat parent {};
    const bool hasParent = ::stat((path + "/..").constData(), &parent) == 0;
    Json record = {{"type", kRecordType},
                   {"version", kRecordVersion},
                   {"url", url::fromLocalPath(path, isDirectory).toEncoded().toStdString()},
                   {"device", std::uint64_t(status.st_dev)},
                   {"inode", std::uint64_t(status.st_ino)},
                   {"isDirectory", isDirectory},
                   {"isReadOnly", readOnly}};
    if (hasParent)
        record["parentDevice"] = std::uint64_t(parent.st_dev);
    return JsonText::encodeToBytes(record);
}

namespace {

std::optional<std::uint64_t> parentDeviceOf(const QByteArray &path) {
    struct stat parent {};
    if (::stat((path + "/..").constData(), &parent) != 0)
        return std::nullopt;
    return std::uint64_t(parent.st_dev);
}

bool isEmptyDirectory(const QByteArray &path) {
    DIR *directory = ::opendir(path.constData());
    if (!directory)
        return false;
    bool empty = true;
    while (const dirent *entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(directory);
    return empty;
}

// A folder that was the root of its own file system and now sits on its parent's is a mount point without
// its volume. Records without the parent's device count an empty folder on its parent's file system as one.
bool isUnmountedVolume(const Record &record, const QByteArray &path, const struct stat &status) {
    if (!record.isDirectory || std::uint64_t(status.st_dev) == record.device)
        return false;
    if (parentDeviceOf(path) != std::uint64_t(status.st_dev))
        return false;
    if (record.parentDevice)
        return *record.parentDevice != record.device;
    return isEmptyDirectory(path);
}

struct Found {
    Record record;
    struct stat status;
};

Found locate(const QByteArray &data) {
    const auto record = parse(data);
    if (!record)
        throw damagedDataError();
    const QByteArray path = url::localPath(record->url);
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        throw posixError(errno, QStringLiteral("Could not find “%1”").arg(displayPath(path)));
    if (S_ISDIR(status.st_mode) != record->isDirectory)
        throw posixError(record->isDirectory ? ENOTDIR : EISDIR,
                         QStringLiteral("“%1” is no longer the item that was chosen").arg(displayPath(path)));
    if (isUnmountedVolume(*record, path, status))
        throw posixError(ENODEV, QStringLiteral("The volume of “%1” is not mounted").arg(displayPath(path)));
    return {*record, status};
}

} // namespace

Resolution resolve(const QByteArray &data) {
    const Found found = locate(data);
    const QByteArray path = url::localPath(found.record.url);
    return {url::fromLocalPath(path, found.record.isDirectory),
            std::uint64_t(found.status.st_ino) != found.record.inode ||
                std::uint64_t(found.status.st_dev) != found.record.device};
}

std::optional<QByteArray> renewedForNewDevice(const QByteArray &data) {
    try {
        const Found found = locate(data);
        if (std::uint64_t(found.status.st_dev) == found.record.device)
            return std::nullopt;
        return create(found.record.url,
                      kWithSecurityScope | (found.record.isReadOnly ? kSecurityScopeAllowOnlyReadAccess : 0));
    } catch (const Error &) {
        return std::nullopt;
    }
}

QVariantMap resourceValues(const QByteArray &data, const QStringList &keys) {
    const auto record = parse(data);
    if (!record)
        return {};
    QVariantMap values;
    for (const QString &key : keys) {
        if (key == QLatin1String(kUrlStringKey)) {
            values.insert(key, QString::fromUtf8(record->url.toEncoded()));
        } else if (key == QLatin1String(kAllPropertiesKey)) {
            values.insert(
                key, QVariantMap{{QLatin1String(kUrlStringKey), QString::fromUtf8(record->url.toEncoded())},
                                 {QStringLiteral("device"), QVariant::fromValue(record->device)},
                                 {QStringLiteral("inode"), QVariant::fromValue(record->inode)},
                                 {QStringLiteral("isDirectory"), record->isDirectory},
                                 {QStringLiteral("isReadOnly"), record->isReadOnly}});
        }
    }
    return values;
}

namespace {
struct AccessCounts {
    std::mutex mutex;
    QHash<QByteArray, int> counts;
};
AccessCounts &accessCounts() {
    static AccessCounts counts;
    return counts;
}
} // namespace

bool startAccessingSecurityScopedResource(const QUrl &url) {
    auto &counts = accessCounts();
    std::lock_guard lock(counts.mutex);
    ++counts.counts[url::localPath(url)];
    return true;
}

void stopAccessingSecurityScopedResource(const QUrl &url) {
    auto &counts = accessCounts();
    std::lock_guard lock(counts.mutex);
    const auto found = counts.counts.find(url::localPath(url));
    if (found == counts.counts.end())
        return;
    if (--found.value() <= 0)
        counts.counts.erase(found);
}

int accessCount(const QUrl &url) {
    auto &counts = accessCounts();
    std::lock_guard lock(counts.mutex);
    return counts.counts.value(url::localPath(url), 0);
}

} // namespace kestrova::BookmarkData
