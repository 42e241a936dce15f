#pragma once

#include "PropertyListValue.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class QTimer;

namespace kestrova::platform {

class UserDefaults;

// What a per-key observer is told: the effective value (written, else registered, else nothing) before
// and after the change. `kind` is always `setting`, as this store has no ordered-collection mutations.
struct KeyValueChange {
    enum class Kind : unsigned { setting = 1, insertion = 2, removal = 3, replacement = 4 };

    Kind kind = Kind::setting;
    bool isPrior = false;
    std::optional<PropertyListValue> oldValue;
    std::optional<PropertyListValue> newValue;
};

// Receives per-key changes of a suite. The observer must be removed before it is destroyed.
class KeyValueObserver {
public:
    virtual ~KeyValueObserver() = default;
    virtual void observeValue(const QString &keyPath, UserDefaults *object, const KeyValueChange &change,
                              const void *context) = 0;
};

// A persistent key-value store of property-list values, the settings of one application (one suite).
//
// Three layers answer a read: the entries written to the suite's file (the persistent domain), then the
// defaults registered by this process (never written), then nothing. Every write goes through to the file
// at once, atomically and under a lock file; the file is re-read under the lock and only this suite's own
// changes are applied, so that two processes writing different keys lose nothing.
//
// Nothing the user stored is lost to a bad file or a full disk. A file that cannot be read (damaged, not a
// regular file, too large or too deep) is moved aside as `<name>.corrupt-<date>-<time>`; one that reads only
// in part (a key given twice) is copied there before anything is written over it. The last ten such files are
// kept. When the file is damaged while the suite runs, the last good contents in memory are written back. A
// change the disk refuses stays in memory and is written again with each later write, by synchronize() and
// on a timer that backs off from a second to a minute. Each damaged file, and each other kind of trouble
// until it ends, is told to the user once, through the shared alert presenter, and on standard error.
//
// Observers run synchronously on the writing thread after the suite's lock is released: first the per-key
// observers of the written key, then those of keys that another process changed meanwhile, then the
// process-wide `kDidChangeNotification`. Every write notifies, even of an equal value. All operations are
// thread-safe. Two suites compare equal only when they are the same object.
class UserDefaults {
public:
    enum ObservingOption : unsigned {
        observeNew = 0x1,
        observeOld = 0x2,
        observeInitial = 0x4,
        observePrior = 0x8
    };

    // Posted to NotificationCenter::defaultCenter() with the suite as object after each change.
    static constexpr auto kDidChangeNotification = "UserDefaultsDidChange";
    static constexpr auto kApplicationIdentifier = "org.kestrova.Kestrova";

    // The application's suite, at $XDG_CONFIG_HOME/kestrova/org.kestrova.Kestrova.plist.
    static std::shared_ptr<UserDefaults> standard();
    // Another named suite beside the standard one; an empty or path-like name gives nothing.
    static std::shared_ptr<UserDefaults> suite(const QString &suiteName);
    // The folder that holds the suites' files.
    static QString defaultsDirectory();
    // The damaged files of the suite at `filePath` that were kept aside, oldest first.
    static QStringList keptAsideFiles(const QString &filePath);

    // A suite kept in the file at `filePath`; an empty path keeps it in memory only.
    explicit UserDefaults(QString filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    QString filePath() const { return m_filePath; }
    // A suite read on another thread is not watched: on the main thread, this watches its file for other
    // programs' changes and takes in any made since it was read. Does nothing for a watched suite.
    void watchForChanges();

    std::optional<PropertyListValue> object(const QString &name) const;
    // No value removes the entry.
    void setObject(const std::optional<PropertyListValue> &value, const QString &name);
    void removeObject(const QString &name);
    // Held in memory for this process only; a later registration of a name replaces an earlier one.
    void registerDefaults(const PropertyListValue::Dictionary &defaults);

    // The entry when it is text, the text form of a number ("1" / "0" for Booleans), else nothing.
    std::optional<QString> string(const QString &name) const;

    // Every visible entry, registered defaults included.
    PropertyListValue::Dictionary dictionaryRepresentation() const;
    // The written entries alone.
    PropertyListValue::Dictionary persistentDomain() const;
    // Removes, one name at a time, every name that dictionaryRepresentation() lists. Names that only hold
    // a registered default keep it.
    void removeAll();

    // Picks up changes made by other processes, writes again what the disk refused before, and confirms
    // that every change of this suite is on disk. False while a change is held in memory only.
    bool synchronize();

    void addObserver(KeyValueObserver *observer, const QString &keyPath, unsigned options,
                     const void *context);
    // Waits for a delivery in progress on another thread to end; safe to call from inside the observer.
    void removeObserver(KeyValueObserver *observer, const QString &keyPath, const void *context);

private:
    struct Registration;
    struct PendingChange;

    enum class Problem { unreadable, unwritable, refusedValue };
    enum class Load { read, empty, damaged };

    std::optional<PropertyListValue> effectiveValueLocked(const QString &name) const;
    void write(const QString &name, const std::optional<PropertyListValue> &value);
    Load loadFromDisk(PropertyListValue::Dictionary &into);
    void setAside(const QByteArray *original, const QString &problem);
    bool writeToDisk(const PropertyListValue::Dictionary &contents);
    PropertyListValue::Dictionary currentContentsLocked(bool &needsWrite);
    void saveLocked(const PropertyListValue::Dictionary &contents);
    // Reads what another writer put on disk; with `retryUnsaved`, also saves again what the disk refused.
    void reloadAfterExternalChange(bool retryUnsaved);
    void scheduleRetry();
    void report(Problem problem, const QString &message);
    std::vector<PendingChange> adoptPersistentLocked(PropertyListValue::Dictionary &&contents,
                                                     const QString &exceptName);
    void deliver(const QString &name, const KeyValueChange &change, bool priorOnly);
    void postDidChange();
    void startWatching();

    QString m_filePath;
    mutable std::mutex m_mutex;
    std::mutex m_writeMutex;
    PropertyListValue::Dictionary m_registered;
    PropertyListValue::Dictionary m_persistent;
    bool m_fileUnusable = false;

    std::mutex m_observerMutex;
    std::vector<std::shared_ptr<Registration>> m_registrations;

    struct FileStamp {
        qint64 inode = -1;
        qint64 size = -1;
        qint64 modifiedNs = -1;
        bool operator==(const FileStamp &) const = default;
    };
    FileStamp currentStamp() const;
    FileStamp m_lastStamp;
    // Changes not yet on disk, applied again over whatever the next write reads.
    std::map<QString, std::optional<PropertyListValue>> m_unsaved;
    std::mutex m_reportMutex;
    std::vector<Problem> m_reported;
    std::set<std::pair<Problem, QString>> m_logged;
    QPointer<QObject> m_watcher;
    static constexpr std::chrono::milliseconds kFirstRetryDelay{1000};
    static constexpr std::chrono::milliseconds kLongestRetryDelay{60'000};
    QPointer<QTimer> m_retryTimer;
    std::chrono::milliseconds m_retryDelay = kFirstRetryDelay;
};

} // namespace kestrova::platform
