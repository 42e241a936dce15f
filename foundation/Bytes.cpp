#include "Bytes.h"

#include "ClampedToInt.h"
#include "ValueReports_p.h"

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

// The number with up to `fractionDigits` digits and no trailing zeros, in the locale's digits and marks.
QString formattedNumber(double value, int fractionDigits, const QLocale &locale) {
    const double scale = std::pow(10.0, fractionDigits);
    const double rounded = std::round(value * scale) / scale;
    return locale.toString(rounded, 'f', QLocale::FloatingPointShortest);
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
    if (m_bytes == 0)
        return QStringLiteral("Zero KB");
    if (m_bytes > -1000 && m_bytes < 1000) {
        const bool isOne = m_bytes == 1 || m_bytes == -1;
        return locale.toString(m_bytes) + (isOne ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    }
    struct Step {
        const char *symbol;
        int fractionDigits;
    };
    static constexpr Step kSteps[] = {{"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}, {"EB", 2}};
    constexpr int kLastStep = int(std::size(kSteps)) - 1;
    // Through double so that the most negative count has a magnitude too.
    const double magnitude = std::fabs(static_cast<double>(m_bytes));
    double scaled = magnitude / 1000;
    int step = 0;
    // Move up while the number, once rounded for its unit, would read 1000 or more.
    while (step < kLastStep) {
        const double scale = std::pow(10.0, kSteps[step].fractionDigits);
        if (std::round(scaled * scale) / scale < 1000)
            break;
        scaled /= 1000;
        ++step;
    }
    const QString sign = m_bytes < 0 ? locale.negativeSign() : QString();
    return sign + formattedNumber(scaled, kSteps[step].fractionDigits, locale) + QLatin1Char(' ') +
           QLatin1String(kSteps[step].symbol);
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
