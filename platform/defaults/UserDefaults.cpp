#include "UserDefaults.h"

#include "platform/alerts/Alert.h"
#include "platform/observation/NotificationCenter.h"
#include "PropertyListSerialization.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocale>
#include <QMetaObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
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

// Damaged settings files kept aside: "<file>.corrupt-<date>-<time>" (with "-2", "-3"… when two go aside in
// one second; a plain "<file>.corrupt" is one kept by an earlier version), and how many of them stay.
constexpr int kKeptAsideFiles = 10;

QString asidePrefix(const QString &filePath) {
    return QFileInfo(filePath).fileName() + QStringLiteral(".corrupt");
}

} // namespace

QStringList UserDefaults::keptAsideFiles(const QString &filePath) {
    const QFileInfo file(filePath);
    const QString prefix = asidePrefix(filePath);
    QStringList names =
        file.dir().entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    // Only names of our own making: a file the user named alike is never counted, nor removed.
    const QRegularExpression ours(QStringLiteral("^-(\\d{8})-(\\d{6})(?:-(\\d+))?$"));
    names.removeIf([&](const QString &name) {
        return name != prefix &&
               !(name.startsWith(prefix) && ours.match(QStringView(name).mid(prefix.size())).hasMatch());
    });
    // The date sorts by text; a same-second number by value.
    const auto key = [&](const QString &name) {
        const auto match = ours.match(QStringView(name).mid(prefix.size()));
        return std::pair(match.captured(1) + match.captured(2),
                         match.hasCaptured(3) ? match.captured(3).toInt() : 1);
    };
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return key(a) < key(b); });
    QStringList paths;
    for (const QString &name : names)
        paths << file.dir().filePath(name);
    return paths;
}

namespace {

// A name for the next kept-aside file that no file has yet.
QString newAsidePath(const QString &filePath) {
    const QString base = filePath + QStringLiteral(".corrupt-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = base;
    struct stat status {};
    for (int number = 2; ::lstat(QFile::encodeName(candidate).constData(), &status) == 0; ++number)
        candidate = base + QLatin1Char('-') + QString::number(number);
    return candidate;
}

// Removes the oldest kept-aside files beyond the last few, once `newest` is safely there.
void removeOldKeptAside(const QString &filePath, const QString &newest) {
    struct stat status {};
    if (::lstat(QFile::encodeName(newest).constData(), &status) != 0)
        return;
    QStringList kept = UserDefaults::keptAsideFiles(filePath);
    while (kept.size() > kKeptAsideFiles) {
        // A folder that stood in the file's place goes only when empty: what it holds is not ours.
        const QByteArray oldest = QFile::encodeName(kept.takeFirst());
        if (::unlink(oldest.constData()) != 0 && errno == EISDIR)
            ::rmdir(oldest.constData());
    }
}

void fsyncDirectory(const QString &directory) {
    const int descriptor =
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// The lock beside the settings file: an advisory lock on `<name>.lock`, which the system releases when its
// owner dies however it dies, so a lock file left behind by a killed process never blocks anyone. The file
// names its owner's process for whoever looks. It is removed while still locked; a writer that locked a
// file someone removed meanwhile starts again on the new one.
class SettingsFileLock {
public:
    explicit SettingsFileLock(QByteArray path)
        : m_path(std::move(path)) {}
    ~SettingsFileLock() {
        if (m_descriptor < 0)
            return;
        ::unlink(m_path.constData());
        ::close(m_descriptor);
    }
    SettingsFileLock(const SettingsFileLock &) = delete;
    SettingsFileLock &operator=(const SettingsFileLock &) = delete;

    // False when the lock stayed taken for `timeoutMs` or cannot be made at all.
    bool lock(int timeoutMs) {
        const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + timeoutMs;
        for (;;) {
            const int descriptor =
                ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
            if (descriptor < 0)
                return false;
            struct stat opened {};
            if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
                ::close(descriptor);
                return false;
            }
            if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
                struct stat current {};
                if (::stat(m_path.constData(), &current) == 0 && current.st_ino == opened.st_ino &&
                    current.st_dev == opened.st_dev) {
                    const QByteArray owner = QByteArray::number(qint64(::getpid())) + '\n';
                    if (::ftruncate(descriptor, 0) == 0 &&
                        ::pwrite(descriptor, owner.constData(), std::size_t(owner.size()), 0) < 0) {
                        // Only a note for people; the lock holds without it (a full disk).
                    }
                    m_descriptor = descriptor;
                    return true;
                }
                ::close(descriptor);
                continue;
            }
            const int error = errno;
            ::close(descriptor);
            if (error != EWOULDBLOCK || QDateTime::currentMSecsSinceEpoch() > deadline)
                return false;
            const timespec pause{0, 2'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }

private:
    QByteArray m_path;
    int m_descriptor = -1;
};

// The whole file, read without blocking: a FIFO or a device in the file's place is refused, not waited on.
std::optional<QByteArray> readRegularFile(const QByteArray &path, QString &problem, bool &missing) {
    missing = false;
    const int descriptor = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) {
        missing = errno == ENOENT;
        problem = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    struct stat status {};
    std::optional<QByteArray> contents;
    if (::fstat(descriptor, &status) != 0) {
        problem = QString::fromLocal8Bit(std::strerror(errno));
    } else if (!S_ISREG(status.st_mode)) {
        problem = QStringLiteral("it is not a regular file");
    } else if (status.st_size > PropertyListSerialization::kMaximumReadSize) {
        problem = QStringLiteral("it is larger than %1 MB")
                      .arg(PropertyListSerialization::kMaximumReadSize / (1024 * 1024));
    } else {
        QByteArray bytes;
        char buffer[65536];
        for (;;) {
            const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0) {
                problem = QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
            if (count == 0) {
                contents = std::move(bytes);
                break;
            }
            bytes.append(buffer, count);
            if (bytes.size() > PropertyListSerialization::kMaximumReadSize) {
                problem = QStringLiteral("it is larger than %1 MB")
                              .arg(PropertyListSerialization::kMaximumReadSize / (1024 * 1024));
                break;
            }
        }
    }
    ::close(descriptor);
    return contents;
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
    loadFromDisk(contents);
    m_persistent = std::move(contents);
    m_lastStamp = currentStamp() == stamp ? stamp : FileStamp{};
    startWatching();
}

UserDefaults::~UserDefaults() {
    delete m_watcher.data();
    delete m_retryTimer.data();
}

UserDefaults::FileStamp UserDefaults::currentStamp() const {
    struct stat status {};
    if (::stat(QFile::encodeName(m_filePath).constData(), &status) != 0)
        return {};
    return {static_cast<qint64>(status.st_ino), static_cast<qint64>(status.st_size),
            static_cast<qint64>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

UserDefaults::Load UserDefaults::loadFromDisk(PropertyListValue::Dictionary &into) {
    into.clear();
    QString problem;
    bool missing = false;
    const auto bytes = readRegularFile(QFile::encodeName(m_filePath), problem, missing);
    if (missing)
        return Load::read;
    if (bytes) {
        // A crash before anything was written, or another program caught between truncating and writing.
        if (bytes->isEmpty())
            return Load::empty;
        auto read = PropertyListSerialization::read(*bytes);
        if (!read.root)
            problem = read.problem;
        else if (!read.root->is<PropertyListValue::Dictionary>())
            problem = QStringLiteral("its top level is not a dictionary");
        else {
            into = std::move(*read.root->getIf<PropertyListValue::Dictionary>());
            if (!read.changes.isEmpty())
                setAside(&*bytes, read.changes.join(QStringLiteral("; ")));
            return Load::read;
        }
    }
    setAside(nullptr, problem);
    return Load::damaged;
}

// Keeps what the user had: a file that cannot be read goes aside instead of being overwritten by the next
// write; one that was read only in part (`original`) is copied aside, as the next write replaces it. Each
// goes under a name of its own, so a second damaged file never replaces the copy of the first.
void UserDefaults::setAside(const QByteArray *original, const QString &problem) {
    const QString asidePath = newAsidePath(m_filePath);
    const QByteArray from = QFile::encodeName(m_filePath);
    const QByteArray to = QFile::encodeName(asidePath);
    if (original) {
        QSaveFile copy(asidePath);
        if (copy.open(QIODevice::WriteOnly) && copy.write(*original) == original->size() && copy.commit()) {
            removeOldKeptAside(m_filePath, asidePath);
            report(
                Problem::unreadable,
                QStringLiteral("the settings file %1 was read only in part (%2); the file as it was is kept "
                               "as %3.")
                    .arg(m_filePath, problem, asidePath));
            return;
        }
        m_fileUnusable = true;
        report(
            Problem::unreadable,
            QStringLiteral("the settings file %1 was read only in part (%2) and could not be copied aside; "
                           "settings changed in this session will not be saved.")
                .arg(m_filePath, problem));
        return;
    }
    if (::rename(from.constData(), to.constData()) == 0) {
        removeOldKeptAside(m_filePath, asidePath);
        report(Problem::unreadable,
               QStringLiteral("the settings file %1 could not be read (%2); it was kept as %3.")
                   .arg(m_filePath, problem, asidePath));
        return;
    }
    m_fileUnusable = true;
    report(Problem::unreadable,
           QStringLiteral(
               "the settings file %1 could not be read (%2) nor moved aside (%3); settings changed in "
               "this session will not be saved.")
               .arg(m_filePath, problem, QString::fromLocal8Bit(std::strerror(errno))));
}

void UserDefaults::report(Problem problem, const QString &message) {
    {
        std::lock_guard lock(m_reportMutex);
        // A save that keeps failing says why once, and again only when the reason changes.
        if (!m_logged.insert({problem, message}).second)
            return;
        warn(message);
        // Every damaged file is told of, as each is kept under its own name; the other troubles once until
        // they end.
        if (problem != Problem::unreadable) {
            if (std::find(m_reported.begin(), m_reported.end(), problem) != m_reported.end())
                return;
            m_reported.push_back(problem);
        }
    }
    auto *application = QCoreApplication::instance();
    if (!application)
        return;
    auto alert = std::make_shared<Alert>();
    alert->messageText =
        problem == Problem::unreadable   ? QStringLiteral("Kestrova could not read its settings")
        : problem == Problem::unwritable ? QStringLiteral("Kestrova could not save its settings")
                                         : QStringLiteral("Kestrova could not store a setting");
    QString detail = message;
    detail[0] = detail[0].toUpper();
    alert->informativeText = detail;
    alert->alertStyle = Alert::Style::warning;
    alert->addButton(QStringLiteral("OK"));
    // Writes happen on any thread and inside callers' steps; the alert comes on a later turn of the main
    // thread.
    QMetaObject::invokeMethod(
        application, [alert] { AlertPresenter::shared().runModal(*alert); }, Qt::QueuedConnection);
}

bool UserDefaults::writeToDisk(const PropertyListValue::Dictionary &contents) {
    const auto failed = [this](const QString &reason) {
        report(Problem::unwritable,
               QStringLiteral("the settings file %1 could not be saved (%2); the changes are kept for this "
                              "session and saved as soon as the disk takes them.")
                   .arg(m_filePath, reason));
        return false;
    };
    const QByteArray xml = PropertyListSerialization::toXml(PropertyListValue(contents));
    if (xml.size() > PropertyListSerialization::kMaximumSize)
        return failed(QStringLiteral("the settings would be larger than %1 MB")
                          .arg(PropertyListSerialization::kMaximumSize / (1024 * 1024)));
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(xml) != xml.size() || !file.flush() || ::fsync(file.handle()) != 0 || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failed(reason);
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
    if (const auto *count = value->getIf<std::uint64_t>())
        return QString::number(*count);
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
    if (value) {
        QString reason = PropertyListSerialization::unwritableReason(*value);
        if (reason.isEmpty() &&
            PropertyListSerialization::toXml(*value).size() > PropertyListSerialization::kMaximumSize)
            reason = QStringLiteral("it is larger than %1 MB")
                         .arg(PropertyListSerialization::kMaximumSize / (1024 * 1024));
        if (!reason.isEmpty()) {
            // What was stored stays: a value that cannot be written must not erase it.
            report(
                Problem::refusedValue,
                QStringLiteral("the setting “%1” was left as it was, as the new value cannot be stored (%2).")
                    .arg(name, reason));
            return;
        }
    }
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
            m_unsaved.insert_or_assign(name, value);
            PropertyListValue::Dictionary merged;
            {
                SettingsFileLock fileLock(QFile::encodeName(m_filePath + QStringLiteral(".lock")));
                if (!fileLock.lock(10'000))
                    warn(QStringLiteral("the settings lock %1.lock could not be taken; writing without it.")
                             .arg(m_filePath));
                bool needsWrite = false;
                merged = currentContentsLocked(needsWrite);
                saveLocked(merged);
            }
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

PropertyListValue::Dictionary UserDefaults::currentContentsLocked(bool &needsWrite) {
    PropertyListValue::Dictionary contents;
    // A file that no one replaced since this suite last read or wrote it holds what memory holds; only
    // another writer's file needs parsing again. When that file is damaged or emptied, the last good
    // contents stay and go back to disk.
    const bool changedOnDisk = currentStamp() != m_lastStamp;
    needsWrite = false;
    if (!changedOnDisk || loadFromDisk(contents) != Load::read) {
        needsWrite = changedOnDisk;
        std::lock_guard lock(m_mutex);
        contents = m_persistent;
    }
    for (const auto &[name, value] : m_unsaved) {
        if (value)
            contents.insert_or_assign(name, *value);
        else
            contents.erase(name);
        needsWrite = true;
    }
    return contents;
}

void UserDefaults::saveLocked(const PropertyListValue::Dictionary &contents) {
    if (!m_fileUnusable && writeToDisk(contents)) {
        m_unsaved.clear();
        m_retryDelay = kFirstRetryDelay;
        std::lock_guard lock(m_reportMutex);
        std::erase(m_reported, Problem::unwritable);
        std::erase_if(m_logged, [](const auto &logged) { return logged.first == Problem::unwritable; });
    } else if (!m_fileUnusable) {
        scheduleRetry();
    }
    m_lastStamp = currentStamp();
}

// A refused save is tried again after a pause that doubles up to a minute, never in answer to file events:
// each attempt makes and removes its own files beside the settings, so retrying on those events would spin.
void UserDefaults::scheduleRetry() {
    const QPointer<QTimer> timer = m_retryTimer;
    if (!timer)
        return;
    const auto delay = m_retryDelay;
    m_retryDelay = std::min(m_retryDelay * 2, kLongestRetryDelay);
    QMetaObject::invokeMethod(
        timer.data(),
        [timer, delay] {
            if (timer && !timer->isActive())
                timer->start(delay);
        },
        Qt::QueuedConnection);
}

void UserDefaults::reloadAfterExternalChange(bool retryUnsaved) {
    if (m_filePath.isEmpty() || m_fileUnusable)
        return;
    std::vector<PendingChange> changes;
    {
        std::lock_guard writeLock(m_writeMutex);
        if (currentStamp() == m_lastStamp && (m_unsaved.empty() || !retryUnsaved))
            return;
        PropertyListValue::Dictionary contents;
        {
            SettingsFileLock fileLock(QFile::encodeName(m_filePath + QStringLiteral(".lock")));
            fileLock.lock(10'000);
            bool needsWrite = false;
            contents = currentContentsLocked(needsWrite);
            if (needsWrite)
                saveLocked(contents);
            else
                m_lastStamp = currentStamp();
        }
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
    reloadAfterExternalChange(/*retryUnsaved=*/true);
    std::lock_guard writeLock(m_writeMutex);
    return !m_fileUnusable && m_unsaved.empty();
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

void UserDefaults::watchForChanges() {
    if (m_watcher || m_filePath.isEmpty())
        return;
    startWatching();
    if (m_watcher)
        reloadAfterExternalChange(/*retryUnsaved=*/false);
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
        reloadAfterExternalChange(/*retryUnsaved=*/false);
    };
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, watcher, onChange);
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, watcher, onChange);
    m_watcher = watcher;

    auto *retry = new QTimer(application);
    retry->setSingleShot(true);
    QObject::connect(retry, &QTimer::timeout, retry,
                     [this] { reloadAfterExternalChange(/*retryUnsaved=*/true); });
    m_retryTimer = retry;
}

} // namespace kestrova::platform
