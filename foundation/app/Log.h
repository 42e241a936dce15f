#pragma once

#include "foundation/concurrency/UnfairLock.h"

#include <QDebug>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <initializer_list>
#include <source_location>

namespace kestrova {

// The levels of the system log that the kit writes at.
enum class LogType { defaultLevel, info, debug, error, fault };

// One value of a log line, rendered as the debug stream shows it (text in double quotes).
class LogValue {
public:
    template <typename Value>
    LogValue(const Value &value) { // NOLINT: converts implicitly so that log({…}) takes any value
        QDebug(&m_text).nospace() << value;
    }
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// The in-memory log of debug mode: the most recent `limit` entries, oldest first. Any thread may append;
// each append drops at most the one oldest entry, so the store never holds more than `limit`.
class InAppLogStore {
public:
    static constexpr qsizetype kLimit = 10000;

    explicit InAppLogStore(qsizetype limit = kLimit)
        : m_limit(limit) {}
    InAppLogStore(const InAppLogStore &) = delete;
    InAppLogStore &operator=(const InAppLogStore &) = delete;

    static InAppLogStore &shared();

    void append(const QString &entry);
    QStringList entries() const;
    // Empties the store (the debug window's "Clear").
    void removeAll();
    qsizetype limit() const { return m_limit; }

private:
    const qsizetype m_limit;
    mutable UnfairLock m_lock;
    std::deque<QString> m_entries;
};

// The bare name of the function whose compiler signature this is: "buildMenu" for
// "void kestrova::FolderController::buildMenu(kestrova::KvMenu&)", the enclosing function's name for a
// lambda, "operator()" or "operator bool" for operators.
QString logFunctionName(const char *signature);

// The text of one log line: the values joined by spaces, then "\n\t[function in File:line]\n" with the
// file's folder and extension dropped.
QString logMessageText(std::initializer_list<LogValue> values, const std::source_location &location);

// Where log lines go: the system log (syslog with the application id, which the journal records) unless a
// test replaces it. The sink receives the whole line, category "general" included.
using LogSink = std::function<void(LogType type, const QString &line)>;
void setLogSink(LogSink sink);

// Writes a diagnostic line to the system log and, in debug mode, to the in-app log store with the date.
// Never fails; any thread.
void log(std::initializer_list<LogValue> values = {}, LogType type = LogType::defaultLevel,
         std::source_location location = std::source_location::current());

} // namespace kestrova
