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

bool isOpening(QChar character) {
    return character == u'(' || character == u'<' || character == u'[' || character == u'{';
}
bool isClosing(QChar character) {
    return character == u')' || character == u'>' || character == u']' || character == u'}';
}

// The index of the bracket that opens the one closing at `end`, or -1.
qsizetype openingBracket(const QString &text, qsizetype end) {
    int depth = 0;
    for (qsizetype index = end; index >= 0; --index) {
        if (isClosing(text.at(index)))
            ++depth;
        else if (isOpening(text.at(index)) && --depth == 0)
            return index;
    }
    return -1;
}

// Where `needle` last occurs outside every bracket, or -1.
qsizetype lastOutsideBrackets(const QString &text, QStringView needle) {
    int depth = 0;
    for (qsizetype index = text.size() - 1; index >= 0; --index) {
        const QChar character = text.at(index);
        if (isClosing(character))
            ++depth;
        else if (isOpening(character))
            --depth;
        else if (depth == 0 && QStringView(text).mid(index).startsWith(needle))
            return index;
    }
    return -1;
}

} // namespace

QString logFunctionName(const char *signature) {
    // The compiler's signature: "ReturnType ns::Class::name(Parameters) const [with T = …]", where a lambda
    // adds "::<lambda(…)>" after its enclosing function's signature.
    QString text = QString::fromUtf8(signature).trimmed();
    if (const qsizetype with = text.indexOf(QStringLiteral(" [with ")); with >= 0)
        text.truncate(with);
    for (bool stripped = true; stripped;) {
        stripped = false;
        text = text.trimmed();
        // Qualifiers follow the parameter list.
        for (const QLatin1StringView qualifier :
             {QLatin1StringView("const"), QLatin1StringView("volatile"), QLatin1StringView("noexcept"),
              QLatin1StringView("&&"), QLatin1StringView("&")}) {
            if (!text.endsWith(qualifier))
                continue;
            const QString rest = text.first(text.size() - qualifier.size()).trimmed();
            if (rest.endsWith(u')') || rest.endsWith(QLatin1StringView("const")) ||
                rest.endsWith(QLatin1StringView("volatile"))) {
                text = rest;
                stripped = true;
            }
        }
        if (text.endsWith(u'>')) {
            const qsizetype opening = openingBracket(text, text.size() - 1);
            if (opening >= 2 && QStringView(text).mid(opening).startsWith(u"<lambda") &&
                QStringView(text).mid(opening - 2, 2) == u"::") {
                text.truncate(opening - 2);
                stripped = true;
            }
        }
    }
    if (text.endsWith(u')')) {
        if (const qsizetype opening = openingBracket(text, text.size() - 1); opening > 0)
            text.truncate(opening);
    }
    // Operators keep their symbol or type: "operator()", "operator<", "operator bool".
    for (qsizetype from = text.size(); from > 0;) {
        const qsizetype found = text.lastIndexOf(QLatin1StringView("operator"), from - 1);
        if (found < 0)
            break;
        const qsizetype after = found + 8;
        const bool startsName = found == 0 || text.at(found - 1) == u':' || text.at(found - 1) == u' ';
        const bool endsWord =
            after >= text.size() || !(text.at(after).isLetterOrNumber() || text.at(after) == u'_');
        if (startsName && endsWord)
            return text.mid(found);
        from = found;
    }
    // Template arguments of the name itself, then its scopes, then what is left of a return type.
    if (text.endsWith(u'>')) {
        if (const qsizetype opening = openingBracket(text, text.size() - 1); opening > 0)
            text.truncate(opening);
    }
    if (const qsizetype scope = lastOutsideBrackets(text, u"::"); scope >= 0)
        text = text.mid(scope + 2);
    if (const qsizetype space = lastOutsideBrackets(text, u" "); space >= 0)
        text = text.mid(space + 1);
    while (text.startsWith(u'*') || text.startsWith(u'&'))
        text.remove(0, 1);
    return text.isEmpty() ? QString::fromUtf8(signature) : text;
}

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

void InAppLogStore::removeAll() {
    std::lock_guard hold(m_lock);
    m_entries.clear();
}

QString logMessageText(std::initializer_list<LogValue> values, const std::source_location &location) {
    QStringList parts;
    for (const LogValue &value : values)
        parts << value.text();
    const QString file = QFileInfo(QString::fromUtf8(location.file_name())).completeBaseName();
    return parts.join(QLatin1Char(' ')) + QStringLiteral("\n\t[") +
           logFunctionName(location.function_name()) + QStringLiteral(" in ") + file + QLatin1Char(':') +
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
