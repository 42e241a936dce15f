#include "UserDefaults.h"

#include "NotificationCenter.h"
#include "PropertyListSerialization.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::platform {

struct UserDefaults::Registration {
    KeyValueObserver *observer;
    QString keyPath;
    unsigned options;
    const void *context;
    // Held while a change is delivered, so that removal on another thread waits for the delivery to end.
    std::recursive_mutex deliveryMutex;
    bool active = true;
};

struct UserDefaults::PendingChange {
    QString name;
    KeyValueChange change;
};

namespace {

void warn(const QString &message) {
    std::fprintf(stderr, "Kestrova: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

std::optional<PropertyListValue> lookup(const PropertyListValue::Dictionary &dictionary,
                                        const QString &name) {
    const auto found = dictionary.find(name);
    if (found == dictionary.end())
        return std::nullopt;
    return found->second;
}

void fsyncDirectory(const QString &directory) {
    const int descriptor =
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// A writer killed between creating the lock file and writing its process into it leaves an empty lock,
// which QLockFile honours for its whole stale time (30 s): every later write would wait and then go ahead
// without the lock, where two writers overwrite each other's changes. An empty lock that has not been
// filled in within a second has no owner left; it is removed under QLockFile's own removal lock, so that
// two writers never both remove one and then each hold the lock.
constexpr int kOwnerlessLockAgeMilliseconds = 1000;

bool isOwnerlessLock(const QString &lockPath) {
    const QFileInfo info(lockPath);
    return info.exists() && info.size() == 0 &&
           info.lastModified().msecsTo(QDateTime::currentDateTime()) > kOwnerlessLockAgeMilliseconds;
}

void removeOwnerlessLock(const QString &lockPath) {
    if (!isOwnerlessLock(lockPath))
        return;
    QLockFile removal(lockPath + QStringLiteral(".rmlock"));
    if (removal.tryLock(0) && isOwnerlessLock(lockPath))
        QFile::remove(lockPath);
}

// Waits up to ten seconds, taking over a lock without an owner on the way (one may be left at any moment
// of the wait, by a writer that took the lock after the wait began).
bool takeFileLock(QLockFile &lock, const QString &lockPath) {
    const QDeadlineTimer deadline(10'000);
    while (!lock.tryLock(250)) {
        if (deadline.hasExpired())
            return false;
        removeOwnerlessLock(lockPath);
    }
    return true;
}

} // namespace

QString UserDefaults::defaultsDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kestrova");
}

std::shared_ptr<UserDefaults> UserDefaults::standard() {
    static const std::shared_ptr<UserDefaults> standardSuite =
        std::make_shared<UserDefaults>(defaultsDirectory() + QLatin1Char('/') +
                                       QLatin1String(kApplicationIdentifier) + QStringLiteral(".plist"));
    return standardSuite;
}

std::shared_ptr<UserDefaults> UserDefaults::suite(const QString &suiteName) {
    if (suiteName.isEmpty() || suiteName.contains(QLatin1Char('/')) || suiteName.startsWith(QLatin1Char('.')))
        return nullptr;
    if (suiteName == QLatin1String(kApplicationIdentifier))
        return standard();
    // One object per name, so that observers of a suite see every write made through it in this process.
    static std::mutex mutex;
    static std::map<QString, std::weak_ptr<UserDefaults>> suites;
    std::lock_guard lock(mutex);
    if (auto existing = suites[suiteName].lock())
        return existing;
    auto created = std::make_shared<UserDefaults>(defaultsDirectory() + QLatin1Char('/') + suiteName +
                                                  QStringLiteral(".plist"));
    suites[suiteName] = created;
    return created;
}

UserDefaults::UserDefaults(QString filePath)
    : m_filePath(std::move(filePath)) {
    if (m_filePath.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    PropertyListValue::Dictionary contents;
    // Stamped before reading: a file another writer replaced during the read must not pass for the one
    // that was read, or the next write would put the missed change's old value back.
    const FileStamp stamp = currentStamp();
    loadFromDisk(contents, /*reportDamage=*/true);
    m_persistent = std::move(contents);
    m_lastStamp = currentStamp() == stamp ? stamp : FileStamp{};
    startWatching();
}

UserDefaults::~UserDefaults() {
    delete m_watcher.data();
}

UserDefaults::FileStamp UserDefaults::currentStamp() const {
    struct stat status {};
    if (::stat(QFile::encodeName(m_filePath).constData(), &status) != 0)
        return {};
    return {static_cast<qint64>(status.st_ino), static_cast<qint64>(status.st_size),
            static_cast<qint64>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

bool UserDefaults::loadFromDisk(PropertyListValue::Dictionary &into, bool reportDamage) {
    into.clear();
    QFile file(m_filePath);
    if (!file.exists())
        return true;
    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        const QByteArray xml = file.readAll();
        file.close();
        if (xml.isEmpty())
            return true;
        auto root = PropertyListSerialization::fromXml(xml);
        if (!root)
            problem = QStringLiteral("it is not a readable property list");
        else if (!root->is<PropertyListValue::Dictionary>())
            problem = QStringLiteral("its top level is not a dictionary");
        else {
            into = std::move(*root->getIf<PropertyListValue::Dictionary>());
            return true;
        }
    }
    if (!reportDamage)
        return false;
    // Keep what the user had: a damaged file goes aside instead of being overwritten by the next write.
    const QString asidePath = m_filePath + QStringLiteral(".corrupt");
    const QByteArray from = QFile::encodeName(m_filePath);
    const QByteArray to = QFile::encodeName(asidePath);
    bool movedAside = ::rename(from.constData(), to.constData()) == 0;
    if (!movedAside && (errno == ENOTDIR || errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST)) {
        // Only the newest damaged file is kept; an older one of another kind is in the way.
        if (::unlink(to.constData()) == 0 || ::rmdir(to.constData()) == 0)
            movedAside = ::rename(from.constData(), to.constData()) == 0;
    }
    if (movedAside) {
        warn(QStringLiteral("the settings file %1 could not be read (%2); it was kept as %3 and the settings "
                            "start empty.")
                 .arg(m_filePath, problem, asidePath));
        return false;
    }
    m_fileUnusable = true;
    warn(QStringLiteral(
             "the settings file %1 could not be read (%2) nor moved aside (%3); settings changed in this "
             "session will not be saved.")
             .arg(m_filePath, problem, QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

bool UserDefaults::writeToDisk(const PropertyListValue::Dictionary &contents) {
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        warn(QStringLiteral("could not save the settings file %1: %2").arg(m_filePath, file.errorString()));
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray xml = PropertyListSerialization::toXml(PropertyListValue(contents));
    if (file.write(xml) != xml.size() || !file.flush() || ::fsync(file.handle()) != 0 || !file.commit()) {
        warn(QStringLiteral("could not save the settings file %1: %2").arg(m_filePath, file.errorString()));
        file.cancelWriting();
        return false;
    }
    fsyncDirectory(QFileInfo(m_filePath).absolutePath());
    return true;
}

std::optional<PropertyListValue> UserDefaults::effectiveValueLocked(const QString &name) const {
    if (auto written = lookup(m_persistent, name))
        return written;
    return lookup(m_registered, name);
}

std::optional<PropertyListValue> UserDefaults::object(const QString &name) const {
    std::lock_guard lock(m_mutex);
    return effectiveValueLocked(name);
}

void UserDefaults::setObject(const std::optional<PropertyListValue> &value, const QString &name) {
    write(name, value);
}

void UserDefaults::removeObject(const QString &name) {
    write(name, std::nullopt);
}

void UserDefaults::registerDefaults(const PropertyListValue::Dictionary &defaults) {
    std::lock_guard lock(m_mutex);
    for (const auto &[name, value] : defaults)
        m_registered.insert_or_assign(name, value);
}

std::optional<QString> UserDefaults::string(const QString &name) const {
    const auto value = object(name);
    if (!value)
        return std::nullopt;
    if (const auto *text = value->getIf<QString>())
        return *text;
    if (const auto *flag = value->getIf<bool>())
        return *flag ? QStringLiteral("1") : QStringLiteral("0");
    if (const auto *integer = value->getIf<std::int64_t>())
        return QString::number(*integer);
    if (const auto *real = value->getIf<double>())
        return QString::number(*real, 'g', QLocale::FloatingPointShortest);
    return std::nullopt;
}

PropertyListValue::Dictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(m_mutex);
    PropertyListValue::Dictionary result = m_registered;
    for (const auto &[name, value] : m_persistent)
        result.insert_or_assign(name, value);
    return result;
}

PropertyListValue::Dictionary UserDefaults::persistentDomain() const {
    std::lock_guard lock(m_mutex);
    return m_persistent;
}

void UserDefaults::removeAll() {
    for (const auto &entry : dictionaryRepresentation())
        removeObject(entry.first);
}

std::vector<UserDefaults::PendingChange>
UserDefaults::adoptPersistentLocked(PropertyListValue::Dictionary &&contents, const QString &exceptName) {
    std::vector<PendingChange> changes;
    auto noteIfChanged = [&](const QString &name) {
        if (name == exceptName)
            return;
        const auto before = lookup(m_persistent, name);
        const auto after = lookup(contents, name);
        if (before == after)
            return;
        const auto registered = lookup(m_registered, name);
        changes.push_back({name,
                           {KeyValueChange::Kind::setting, false, before ? before : registered,
                            after ? after : registered}});
    };
    for (const auto &entry : m_persistent)
        noteIfChanged(entry.first);
    for (const auto &entry : contents)
        if (!m_persistent.contains(entry.first))
            noteIfChanged(entry.first);
    m_persistent = std::move(contents);
    return changes;
}

void UserDefaults::write(const QString &name, const std::optional<PropertyListValue> &value) {
    deliver(name, {KeyValueChange::Kind::setting, true, object(name), std::nullopt}, /*priorOnly=*/true);

    KeyValueChange change;
    std::vector<PendingChange> externalChanges;
    {
        std::lock_guard writeLock(m_writeMutex);
        if (m_filePath.isEmpty() || m_fileUnusable) {
            std::lock_guard lock(m_mutex);
            change.oldValue = effectiveValueLocked(name);
            if (value)
                m_persistent.insert_or_assign(name, *value);
            else
                m_persistent.erase(name);
            change.newValue = effectiveValueLocked(name);
        } else {
            const QString lockPath = m_filePath + QStringLiteral(".lock");
            QLockFile fileLock(lockPath);
            if (!takeFileLock(fileLock, lockPath))
                warn(QStringLiteral("the settings lock %1 stayed taken; writing without it.")
                         .arg(fileLock.fileName()));
            PropertyListValue::Dictionary merged;
            // A file that no one replaced since this suite last read or wrote it holds what memory holds;
            // only another writer's file needs parsing again.
            if (currentStamp() == m_lastStamp && m_lastStamp.inode >= 0 && !m_lastWriteFailed) {
                std::lock_guard lock(m_mutex);
                merged = m_persistent;
            } else {
                loadFromDisk(merged, /*reportDamage=*/true);
            }
            if (value)
                merged.insert_or_assign(name, *value);
            else
                merged.erase(name);
            // Keep the change for this session even when the disk refuses it, and say so once per failure.
            m_lastWriteFailed = !m_fileUnusable && !writeToDisk(merged);
            m_lastStamp = currentStamp();
            fileLock.unlock();

            std::lock_guard lock(m_mutex);
            change.oldValue = effectiveValueLocked(name);
            externalChanges = adoptPersistentLocked(std::move(merged), name);
            change.newValue = effectiveValueLocked(name);
        }
    }

    deliver(name, change, /*priorOnly=*/false);
    for (const auto &pending : externalChanges)
        deliver(pending.name, pending.change, /*priorOnly=*/false);
    postDidChange();
}

void UserDefaults::reloadAfterExternalChange() {
    if (m_filePath.isEmpty() || m_fileUnusable)
        return;
    std::vector<PendingChange> changes;
    {
        std::lock_guard writeLock(m_writeMutex);
        const FileStamp stamp = currentStamp();
        if (stamp == m_lastStamp)
            return;
        PropertyListValue::Dictionary contents;
        loadFromDisk(contents, /*reportDamage=*/true);
        m_lastStamp = currentStamp() == stamp ? stamp : FileStamp{};
        std::lock_guard lock(m_mutex);
        changes = adoptPersistentLocked(std::move(contents), QString());
    }
    for (const auto &pending : changes)
        deliver(pending.name, pending.change, /*priorOnly=*/false);
    if (!changes.empty())
        postDidChange();
}

bool UserDefaults::synchronize() {
    if (m_filePath.isEmpty())
        return true;
    reloadAfterExternalChange();
    std::lock_guard writeLock(m_writeMutex);
    return !m_fileUnusable && !m_lastWriteFailed;
}

void UserDefaults::addObserver(KeyValueObserver *observer, const QString &keyPath, unsigned options,
                               const void *context) {
    auto registration = std::make_shared<Registration>();
    registration->observer = observer;
    registration->keyPath = keyPath;
    registration->options = options;
    registration->context = context;
    {
        std::lock_guard lock(m_observerMutex);
        m_registrations.push_back(registration);
    }
    if (!(options & observeInitial))
        return;
    KeyValueChange initial;
    if (options & observeNew)
        initial.newValue = object(keyPath);
    std::lock_guard delivery(registration->deliveryMutex);
    if (registration->active)
        observer->observeValue(keyPath, this, initial, context);
}

void UserDefaults::removeObserver(KeyValueObserver *observer, const QString &keyPath, const void *context) {
    std::shared_ptr<Registration> removed;
    {
        std::lock_guard lock(m_observerMutex);
        // The latest matching registration goes first, as nested registrations are undone in reverse.
        for (auto it = m_registrations.rbegin(); it != m_registrations.rend(); ++it) {
            const auto &candidate = *it;
            if (candidate->observer == observer && candidate->keyPath == keyPath &&
                candidate->context == context) {
                removed = candidate;
                m_registrations.erase(std::next(it).base());
                break;
            }
        }
    }
    if (!removed)
        return;
    std::lock_guard delivery(removed->deliveryMutex);
    removed->active = false;
}

void UserDefaults::deliver(const QString &name, const KeyValueChange &change, bool priorOnly) {
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(m_observerMutex);
        for (const auto &registration : m_registrations)
            if (registration->keyPath == name && (!priorOnly || (registration->options & observePrior)))
                matching.push_back(registration);
    }
    for (const auto &registration : matching) {
        KeyValueChange delivered;
        delivered.kind = change.kind;
        delivered.isPrior = change.isPrior;
        if (registration->options & observeOld)
            delivered.oldValue = change.oldValue;
        if (!change.isPrior && (registration->options & observeNew))
            delivered.newValue = change.newValue;
        std::lock_guard delivery(registration->deliveryMutex);
        if (registration->active)
            registration->observer->observeValue(name, this, delivered, registration->context);
    }
}

void UserDefaults::postDidChange() {
    NotificationCenter::defaultCenter().post({QString::fromLatin1(kDidChangeNotification), this, {}});
}

void UserDefaults::startWatching() {
    auto *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return;
    // Parented to the application so that it goes before the event dispatcher does; a rename replaces
    // the watched file, so the folder is watched as well.
    auto *watcher = new QFileSystemWatcher(application);
    watcher->addPath(QFileInfo(m_filePath).absolutePath());
    if (QFile::exists(m_filePath))
        watcher->addPath(m_filePath);
    const auto onChange = [this, watcher] {
        if (QFile::exists(m_filePath) && !watcher->files().contains(m_filePath))
            watcher->addPath(m_filePath);
        reloadAfterExternalChange();
    };
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, watcher, onChange);
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, watcher, onChange);
    m_watcher = watcher;
}

} // namespace kestrova::platform
