#include "PropertyListValue.h"

#include <QLocale>
#include <QStringList>

namespace kestrova::platform {

QString PropertyListValue::debugDescription() const {
    switch (kind()) {
    case Kind::boolean:
        return *getIf<bool>() ? QStringLiteral("true") : QStringLiteral("false");
    case Kind::integer:
        return QString::number(*getIf<std::int64_t>());
    case Kind::unsignedInteger:
        return QString::number(*getIf<std::uint64_t>());
    case Kind::real:
        return QString::number(*getIf<double>(), 'g', QLocale::FloatingPointShortest);
    case Kind::text:
        return QLatin1Char('"') + *getIf<QString>() + QLatin1Char('"');
    case Kind::data:
        return QStringLiteral("<%1 bytes>").arg(getIf<QByteArray>()->size());
    case Kind::date:
        return getIf<Date>()->toDateTime().toString(Qt::ISODateWithMs);
    case Kind::array: {
        QStringList parts;
        for (const auto &element : *getIf<Array>())
            parts << element.debugDescription();
        return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    case Kind::dictionary: {
        QStringList parts;
        for (const auto &[key, value] : *getIf<Dictionary>())
            parts << key + QStringLiteral(": ") + value.debugDescription();
        return QLatin1Char('{') + parts.join(QStringLiteral(", ")) + QLatin1Char('}');
    }
    }
    return {};
}

} // namespace kestrova::platform
