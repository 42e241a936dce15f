#include "Bytes.h"

#include "foundation/text/Formatters.h"

#include "ClampedToInt.h"
#include "foundation/errors/ValueReports_p.h"

#include <cmath>
#include <limits>

namespace kestrova {

namespace {

qint64 clampedAfterOverflow(qint64 lhs, qint64 rhs, const char *operation) {
    detail::reportUnexpectedValue(
        QStringLiteral("Byte count %1 %2 %3 overflows").arg(lhs).arg(QLatin1String(operation)).arg(rhs));
    // The true result lies beyond the end the operands push toward.
    const bool towardPositive = (operation[0] == '+') ? rhs > 0 : rhs < 0;
    return towardPositive ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

} // namespace

std::optional<Bytes::Unit> Bytes::unitFromRawValue(double bytes) {
    for (const Unit unit : allUnits) {
        if (rawValue(unit) == bytes)
            return unit;
    }
    return std::nullopt;
}

Bytes::Bytes(const platform::Measurement<platform::UnitInformationStorage> &measurement) {
    const double value = measurement.converted(platform::UnitInformationStorage::bytes()).value;
    if (std::isfinite(value) && value >= -0x1p63 && value < 0x1p63) {
        m_bytes = static_cast<qint64>(value);
        return;
    }
    detail::reportUnexpectedValue(
        QStringLiteral("A measurement of %1 bytes does not fit a byte count").arg(value));
    m_bytes = clampedToInt(value);
}

platform::Measurement<platform::UnitInformationStorage> Bytes::measurement() const {
    return {static_cast<double>(m_bytes), platform::UnitInformationStorage::bytes()};
}

QString Bytes::fileSizeText(const QLocale &locale) const {
    ByteCountFormatOptions options;
    options.locale = locale;
    return formattedByteCount(m_bytes, options);
}

QString Bytes::debugDescription() const {
    return fileSizeText(QLocale()) + QStringLiteral(" (") + QString::number(m_bytes) + QLatin1Char(')');
}

Bytes operator+(Bytes lhs, Bytes rhs) {
    qint64 result = 0;
    if (__builtin_add_overflow(lhs.m_bytes, rhs.m_bytes, &result))
        return Bytes(clampedAfterOverflow(lhs.m_bytes, rhs.m_bytes, "+"));
    return Bytes(result);
}

Bytes operator-(Bytes lhs, Bytes rhs) {
    qint64 result = 0;
    if (__builtin_sub_overflow(lhs.m_bytes, rhs.m_bytes, &result))
        return Bytes(clampedAfterOverflow(lhs.m_bytes, rhs.m_bytes, "-"));
    return Bytes(result);
}

} // namespace kestrova
