#include "PropertyListSerialization.h"

#include <QDateTime>
#include <QLocale>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>
#include <limits>

namespace kestrova::platform::PropertyListSerialization {
namespace {

// XML 1.0 cannot carry most control characters, not even escaped, nor half of a surrogate pair, so a value
// holding one would write a file that no reader accepts. Such characters are replaced, which keeps the
// file readable.
QString xmlSafe(const QString &text) {
    QString result = text;
    for (qsizetype index = 0; index < result.size(); ++index) {
        const char16_t code = result.at(index).unicode();
        if (QChar::isHighSurrogate(code) && index + 1 < result.size() &&
            QChar::isLowSurrogate(result.at(index + 1).unicode())) {
            ++index;
            continue;
        }
        if ((code < 0x20 && code != u'\t' && code != u'\n' && code != u'\r') || code == 0xFFFE ||
            code == 0xFFFF || QChar::isSurrogate(code))
            result[index] = QChar(0xFFFD);
    }
    return result;
}

// The written form keeps whole seconds; a date outside the four-digit years has no written form.
std::optional<QDateTime> writableDate(const Date &date) {
    const double seconds = std::floor(date.timeIntervalSince1970());
    // Years 1 to 9999, with a margin that keeps the conversion to milliseconds exact.
    if (!std::isfinite(seconds) || seconds < -62135596800.0 || seconds > 253402300799.0)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), Qt::UTC);
}

class Reader {
public:
    explicit Reader(const QByteArray &xml)
        : m_xml(xml) {}

    ReadResult run() {
        ReadResult result;
        if (!nextElement() || m_xml.name() != QLatin1String("plist")) {
            result.problem = failure(QStringLiteral("it is not a property list"));
            return result;
        }
        if (!nextElement()) {
            result.problem = failure(QStringLiteral("it holds no value"));
            return result;
        }
        auto root = value(1);
        if (root && (nextElement() || m_xml.tokenType() != QXmlStreamReader::EndElement))
            fail(QStringLiteral("it holds more than one value"));
        while (!m_failed && !m_xml.atEnd())
            m_xml.readNext();
        if (m_xml.hasError())
            fail(m_xml.errorString());
        if (m_failed || !root) {
            result.problem = failure(QStringLiteral("it is not a readable property list"));
            return result;
        }
        result.root = std::move(root);
        result.changes = m_changes;
        return result;
    }

private:
    void fail(const QString &problem) {
        if (m_failed)
            return;
        m_failed = true;
        m_problem = QStringLiteral("%1 (line %2)").arg(problem).arg(m_xml.lineNumber());
    }
    QString failure(const QString &fallback) {
        if (m_xml.hasError() && !m_failed)
            fail(m_xml.errorString());
        return m_failed ? m_problem : fallback;
    }

    // Moves to the next start element of the current level: true there, false at the level's end element
    // or on an error. Only white space may lie between elements.
    bool nextElement() {
        while (!m_failed) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                ++m_open;
                return true;
            case QXmlStreamReader::EndElement:
                --m_open;
                return false;
            case QXmlStreamReader::EndDocument:
                return false;
            case QXmlStreamReader::Invalid:
                fail(m_xml.errorString());
                return false;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace()) {
                    fail(QStringLiteral("text stands outside a value"));
                    return false;
                }
                break;
            case QXmlStreamReader::EntityReference:
                fail(QStringLiteral("an unknown entity is used"));
                return false;
            default:
                break;
            }
        }
        return false;
    }

    // The text of the element the reader is on; the reader ends on its end element.
    QString text() {
        QString result;
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::Characters:
                result += m_xml.text();
                break;
            case QXmlStreamReader::EntityReference:
                if (!m_xml.text().isEmpty()) {
                    result += m_xml.text();
                    break;
                }
                // Declared, if at all, in an outside DTD that is never fetched: kept as written, as an
                // empty text would replace the user's own on the next write.
                result += QLatin1Char('&') + m_xml.name().toString() + QLatin1Char(';');
                m_changes << QStringLiteral("the entity “&%1;” is not declared and is kept as written")
                                 .arg(m_xml.name());
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            case QXmlStreamReader::EndElement:
                --m_open;
                return result;
            case QXmlStreamReader::StartElement:
                m_xml.raiseError(QStringLiteral("an element stands inside a text"));
                fail(m_xml.errorString());
                return {};
            default:
                fail(m_xml.hasError() ? m_xml.errorString() : QStringLiteral("a text does not end"));
                return {};
            }
        }
    }

    // After a value inside a container at `level` open elements could not be read: when the text itself is
    // sound XML, the value is left out (noted in the changes, `what` naming it) and reading goes on after
    // it, so that one bad setting does not cost all the others. False when the text is not sound XML.
    // A value nested too deep is left out whole, at the top level: cut off lower down, it would pass for
    // a value that no version wrote.
    bool leaveOut(int depth, int level, const QString &what) {
        if (m_xml.hasError() || (m_tooDeep && depth > 1))
            return false;
        m_tooDeep = false;
        const QString problem = m_problem;
        m_failed = false;
        while (m_open > level && !m_xml.atEnd()) {
            const auto token = m_xml.readNext();
            if (token == QXmlStreamReader::StartElement)
                ++m_open;
            else if (token == QXmlStreamReader::EndElement)
                --m_open;
        }
        if (m_xml.hasError()) {
            // What stopped the reading first is what the user is told.
            m_failed = true;
            m_problem = problem;
            return false;
        }
        m_changes << QStringLiteral("%1 could not be read (%2) and is left out").arg(what, problem);
        return true;
    }

    // A value whose text is larger than anything written is left out as well.
    bool isTooLarge(qint64 start) const { return m_xml.characterOffset() - start > kMaximumSize; }

    // The value of the start element the reader is on; the reader ends on its end element.
    std::optional<PropertyListValue> value(int depth) {
        if (depth > kMaximumDepth) {
            fail(QStringLiteral("its values are nested deeper than %1 levels").arg(kMaximumDepth));
            m_tooDeep = true;
            return std::nullopt;
        }
        const QStringView name = m_xml.name();
        if (name == QLatin1String("dict"))
            return dictionary(depth);
        if (name == QLatin1String("array"))
            return array(depth);
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            const bool flag = name == QLatin1String("true");
            if (!text().trimmed().isEmpty())
                fail(QStringLiteral("a Boolean holds text"));
            return m_failed ? std::nullopt : std::optional<PropertyListValue>(flag);
        }
        if (name == QLatin1String("string")) {
            QString string = text();
            return m_failed ? std::nullopt : std::optional<PropertyListValue>(std::move(string));
        }
        if (name == QLatin1String("integer"))
            return integer(text().trimmed());
        if (name == QLatin1String("real"))
            return real(text().trimmed());
        if (name == QLatin1String("data")) {
            QByteArray base64 = text().toLatin1();
            base64.removeIf([](char character) { return QChar::isSpace(uchar(character)); });
            auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                fail(QStringLiteral("binary data is not Base64"));
            return m_failed ? std::nullopt : std::optional<PropertyListValue>(*decoded);
        }
        if (name == QLatin1String("date")) {
            const QDateTime dateTime = QDateTime::fromString(text().trimmed(), Qt::ISODateWithMs);
            if (!dateTime.isValid())
                fail(QStringLiteral("a date is not readable"));
            return m_failed ? std::nullopt : std::optional<PropertyListValue>(Date::fromDateTime(dateTime));
        }
        fail(QStringLiteral("“%1” is not a kind of value").arg(name));
        return std::nullopt;
    }

    std::optional<PropertyListValue> integer(const QString &digits) {
        if (m_failed)
            return std::nullopt;
        bool ok = false;
        const qlonglong number = digits.toLongLong(&ok, 10);
        if (ok)
            return PropertyListValue(std::int64_t(number));
        // A count beyond the signed range (written by another program) is kept as the number it is.
        const qulonglong count = digits.toULongLong(&ok, 10);
        if (!ok) {
            fail(QStringLiteral("an integer is not readable"));
            return std::nullopt;
        }
        return PropertyListValue::unsignedInteger(count);
    }

    std::optional<PropertyListValue> real(const QString &digits) {
        if (m_failed)
            return std::nullopt;
        const QString lower = digits.toLower();
        const bool negative = lower.startsWith(QLatin1Char('-'));
        const QString magnitude = negative || lower.startsWith(QLatin1Char('+')) ? lower.mid(1) : lower;
        if (magnitude == QLatin1String("nan"))
            return PropertyListValue(std::numeric_limits<double>::quiet_NaN());
        if (magnitude == QLatin1String("inf") || magnitude == QLatin1String("infinity"))
            return PropertyListValue(negative ? -std::numeric_limits<double>::infinity()
                                              : std::numeric_limits<double>::infinity());
        bool ok = false;
        // QString's own conversion uses the C conventions whatever LC_NUMERIC says.
        const double number = digits.toDouble(&ok);
        if (!ok) {
            fail(QStringLiteral("a real number is not readable"));
            return std::nullopt;
        }
        return PropertyListValue(number);
    }

    std::optional<PropertyListValue> array(int depth) {
        PropertyListValue::Array elements;
        const int level = m_open;
        while (nextElement()) {
            const qint64 start = m_xml.characterOffset();
            auto element = value(depth + 1);
            if (element && isTooLarge(start))
                fail(QStringLiteral("it is larger than %1 MB").arg(kMaximumSize / (1024 * 1024)));
            if (!element || m_failed) {
                if (!leaveOut(depth, level, QStringLiteral("element %1 of a list").arg(elements.size() + 1)))
                    return std::nullopt;
                continue;
            }
            elements.push_back(std::move(*element));
        }
        return m_failed ? std::nullopt : std::optional<PropertyListValue>(std::move(elements));
    }

    std::optional<PropertyListValue> dictionary(int depth) {
        PropertyListValue::Dictionary entries;
        const int level = m_open;
        while (nextElement()) {
            if (m_xml.name() != QLatin1String("key")) {
                fail(QStringLiteral("a dictionary holds a value without a key"));
                if (!leaveOut(depth, level, QStringLiteral("a value without a key")))
                    return std::nullopt;
                continue;
            }
            QString key = text();
            if (m_failed)
                return std::nullopt;
            if (!nextElement()) {
                if (m_failed)
                    return std::nullopt;
                // The dictionary ended after the key.
                m_changes << QStringLiteral("the key “%1” has no value and is left out").arg(key);
                return std::optional<PropertyListValue>(std::move(entries));
            }
            const qint64 start = m_xml.characterOffset();
            auto element = value(depth + 1);
            if (element && isTooLarge(start))
                fail(QStringLiteral("it is larger than %1 MB").arg(kMaximumSize / (1024 * 1024)));
            if (!element || m_failed) {
                if (!leaveOut(depth, level, QStringLiteral("the value of “%1”").arg(key)))
                    return std::nullopt;
                continue;
            }
            if (entries.contains(key))
                m_changes
                    << QStringLiteral("the key “%1” is given more than once; the last one is used").arg(key);
            entries.insert_or_assign(std::move(key), std::move(*element));
        }
        return m_failed ? std::nullopt : std::optional<PropertyListValue>(std::move(entries));
    }

    QXmlStreamReader m_xml;
    // Elements opened and not yet closed, counted by every step that moves the reader.
    int m_open = 0;
    bool m_failed = false;
    bool m_tooDeep = false;
    QString m_problem;
    QStringList m_changes;
};

void write(QXmlStreamWriter &writer, const PropertyListValue &value, bool topLevel) {
    switch (value.kind()) {
    case PropertyListValue::Kind::boolean:
        writer.writeEmptyElement(*value.getIf<bool>() ? QStringLiteral("true") : QStringLiteral("false"));
        return;
    case PropertyListValue::Kind::integer:
        writer.writeTextElement(QStringLiteral("integer"), QString::number(*value.getIf<std::int64_t>()));
        return;
    case PropertyListValue::Kind::unsignedInteger:
        writer.writeTextElement(QStringLiteral("integer"), QString::number(*value.getIf<std::uint64_t>()));
        return;
    case PropertyListValue::Kind::real: {
        const double number = *value.getIf<double>();
        QString digits;
        if (std::isnan(number))
            digits = QStringLiteral("nan");
        else if (std::isinf(number))
            digits = number > 0 ? QStringLiteral("+infinity") : QStringLiteral("-infinity");
        else
            digits = QString::number(number, 'g', QLocale::FloatingPointShortest);
        writer.writeTextElement(QStringLiteral("real"), digits);
        return;
    }
    case PropertyListValue::Kind::text:
        writer.writeTextElement(QStringLiteral("string"), xmlSafe(*value.getIf<QString>()));
        return;
    case PropertyListValue::Kind::data:
        writer.writeTextElement(QStringLiteral("data"),
                                QString::fromLatin1(value.getIf<QByteArray>()->toBase64()));
        return;
    case PropertyListValue::Kind::date:
        writer.writeTextElement(QStringLiteral("date"),
                                writableDate(*value.getIf<Date>())->toString(Qt::ISODate));
        return;
    case PropertyListValue::Kind::array:
        writer.writeStartElement(QStringLiteral("array"));
        for (const auto &element : *value.getIf<PropertyListValue::Array>())
            write(writer, element, false);
        writer.writeEndElement();
        return;
    case PropertyListValue::Kind::dictionary:
        writer.writeStartElement(QStringLiteral("dict"));
        for (const auto &[key, element] : *value.getIf<PropertyListValue::Dictionary>()) {
            // One line per setting keeps the file readable without indentation that grows with depth.
            if (topLevel)
                writer.writeCharacters(QStringLiteral("\n"));
            writer.writeTextElement(QStringLiteral("key"), xmlSafe(key));
            write(writer, element, false);
        }
        if (topLevel)
            writer.writeCharacters(QStringLiteral("\n"));
        writer.writeEndElement();
        return;
    }
}

QString unwritableReason(const PropertyListValue &value, int depth) {
    if (depth > kMaximumDepth)
        return QStringLiteral("its values are nested deeper than %1 levels").arg(kMaximumDepth);
    if (const auto *date = value.getIf<Date>(); date && !writableDate(*date))
        return QStringLiteral("it holds a date outside the years 1 to 9999");
    if (const auto *array = value.getIf<PropertyListValue::Array>()) {
        for (const auto &element : *array)
            if (QString reason = unwritableReason(element, depth + 1); !reason.isEmpty())
                return reason;
    }
    if (const auto *dictionary = value.getIf<PropertyListValue::Dictionary>()) {
        for (const auto &entry : *dictionary)
            if (QString reason = unwritableReason(entry.second, depth + 1); !reason.isEmpty())
                return reason;
    }
    return {};
}

} // namespace

ReadResult read(const QByteArray &xml) {
    if (xml.isEmpty())
        return {std::nullopt, QStringLiteral("it is empty"), {}};
    if (xml.size() > kMaximumReadSize)
        return {std::nullopt,
                QStringLiteral("it is larger than %1 MB").arg(kMaximumReadSize / (1024 * 1024)),
                {}};
    return Reader(xml).run();
}

std::optional<PropertyListValue> fromXml(const QByteArray &xml) {
    return read(xml).root;
}

QString unwritableReason(const PropertyListValue &value) {
    return unwritableReason(value, 1);
}

QByteArray toXml(const PropertyListValue &root) {
    if (!unwritableReason(root).isEmpty())
        return {};
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.writeStartDocument();
    writer.writeCharacters(QStringLiteral("\n"));
    writer.writeStartElement(QStringLiteral("plist"));
    writer.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    write(writer, root, true);
    writer.writeEndElement();
    writer.writeEndDocument();
    xml.append('\n');
    return xml;
}

} // namespace kestrova::platform::PropertyListSerialization
