#include "Log.h"

#include "KvApp.h"

#include <QDateTime>
#include <QFileInfo>

#include <mutex>

#include <syslog.h>

namespace kestrova {
namespace {

int syslogPriority(LogType type) {
    switch (type) {
    case LogType::info:
        return LOG_INFO;
    case LogType::debug:
        return LOG_DEBUG;
    case LogType::error:
        return LOG_ERR;
    case LogType::fault:
        return LOG_CRIT;
    case LogType::defaultLevel:
        break;
    }
    return LOG_NOTICE;
}

void writeToSystemLog(LogType type, const QString &line) {
    // syslog keeps the ident pointer, so it must outlive every call.
    static const QByteArray ident = KvApp::id().toUtf8();
    static std::once_flag opened;
    std::call_once(opened, [] { openlog(ident.constData(), LOG_PID, LOG_USER); });
    syslog(syslogPriority(type), "%s", line.toUtf8().constData());
}

struct SinkHolder {
    UnfairLock lock;
    LogSink sink = writeToSystemLog;
};

SinkHolder &sinkHolder() {
    static auto *holder = new SinkHolder;
    return *holder;
}

} // namespace

InAppLogStore &InAppLogStore::shared() {
    static auto *store = new InAppLogStore;
    return *store;
}

void InAppLogStore::append(const QString &entry) {
    std::lock_guard hold(m_lock);
    if (!m_entries.empty() && qsizetype(m_entries.size()) >= m_limit)
        m_entries.pop_front();
    m_entries.push_back(entry);
}

QStringList InAppLogStore::entries() const {
    std::lock_guard hold(m_lock);
    return QStringList(m_entries.begin(), m_entries.end());
}

QString logMessageText(std::initializer_list<LogValue> values, const std::source_location &location) {
    QStringList parts;
    for (const LogValue &value : values)
        parts << value.text();
    const QString file = QFileInfo(QString::fromUtf8(location.file_name())).completeBaseName();
    return parts.join(QLatin1Char(' ')) + QStringLiteral("\n\t[") +
           QString::fromUtf8(location.function_name()) + QStringLiteral(" in ") + file + QLatin1Char(':') +
           QString::number(location.line()) + QStringLiteral("]\n");
}

void setLogSink(LogSink sink) {
    auto &holder = sinkHolder();
    std::lock_guard hold(holder.lock);
    holder.sink = sink ? std::move(sink) : LogSink(writeToSystemLog);
}

void log(std::initializer_list<LogValue> values, LogType type, std::source_location location) {
    const QString text = logMessageText(values, location);
    LogSink sink;
    {
        auto &holder = sinkHolder();
        std::lock_guard hold(holder.lock);
        sink = holder.sink;
    }
    sink(type, QStringLiteral("[general] ") + text);
    if (KvApp::isDebugMode())
        InAppLogStore::shared().append(text + QLatin1Char('\t') +
                                       QDateTime::currentDateTimeUtc().toString(Qt::ISODate) +
                                       QLatin1Char('\n'));
}

} // namespace kestrova
