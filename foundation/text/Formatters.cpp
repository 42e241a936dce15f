#include "Formatters.h"

#include <unicode/measfmt.h>
#include <unicode/measunit.h>
#include <unicode/measure.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace kestrova {
namespace {

struct UnitStep {
    ByteCountFormatOptions::Unit unit;
    const char *symbol;
    int fractionDigits;
};

constexpr std::array<UnitStep, 7> kUnitSteps{{{ByteCountFormatOptions::bytes, "bytes", 0},
                                              {ByteCountFormatOptions::kilobytes, "KB", 0},
                                              {ByteCountFormatOptions::megabytes, "MB", 1},
                                              {ByteCountFormatOptions::gigabytes, "GB", 2},
                                              {ByteCountFormatOptions::terabytes, "TB", 2},
                                              {ByteCountFormatOptions::petabytes, "PB", 2},
                                              {ByteCountFormatOptions::exabytes, "EB", 2}}};

// The number with up to `fractionDigits` digits and no trailing zeros, in the locale's digits and marks.
QString numberText(double value, int fractionDigits, const QLocale &locale) {
    const double scale = std::pow(10.0, fractionDigits);
    const double rounded = std::round(value * scale) / scale;
    return locale.toString(rounded, 'f', QLocale::FloatingPointShortest);
}

} // namespace

QString formattedByteCount(std::int64_t byteCount, const ByteCountFormatOptions &options) {
    const unsigned allowed = options.allowedUnits & ByteCountFormatOptions::allUnits
                                 ? options.allowedUnits & ByteCountFormatOptions::allUnits
                                 : ByteCountFormatOptions::allUnits;
    const double base = options.style == ByteCountFormatOptions::Style::memory ||
                                options.style == ByteCountFormatOptions::Style::binary
                            ? 1024.0
                            : 1000.0;
    // Through double so that the most negative count has a magnitude too.
    const double magnitude = std::fabs(static_cast<double>(byteCount));

    const auto isAllowed = [allowed](std::size_t index) { return (allowed & kUnitSteps[index].unit) != 0; };
    // The largest allowed unit the count fills at least once, else the smallest allowed one; zero is counted
    // in kilobytes where they are allowed.
    std::size_t chosen = kUnitSteps.size();
    for (std::size_t index = 0; index < kUnitSteps.size(); ++index) {
        if (!isAllowed(index))
            continue;
        if (chosen == kUnitSteps.size() || magnitude >= std::pow(base, double(index)))
            chosen = index;
    }
    if (byteCount == 0 && isAllowed(1))
        chosen = 1;
    // A count that rounds up to a whole next unit is written in that unit ("1 MB", not "1,000 KB").
    for (std::size_t next = chosen + 1; next < kUnitSteps.size() && chosen > 0; ++next) {
        if (!isAllowed(next))
            continue;
        const double scale = std::pow(10.0, kUnitSteps[chosen].fractionDigits);
        if (std::round(magnitude / std::pow(base, double(chosen)) * scale) / scale < base)
            break;
        chosen = next;
    }
    const UnitStep &step = kUnitSteps[chosen];

    if (byteCount == 0 && options.allowsNonnumericFormatting)
        return QStringLiteral("Zero ") +
               QLatin1String(step.unit == ByteCountFormatOptions::bytes ? "bytes" : step.symbol);

    QString text;
    if (step.unit == ByteCountFormatOptions::bytes) {
        text = options.locale.toString(byteCount) +
               (magnitude == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
        return text;
    }
    const QString sign = byteCount < 0 ? options.locale.negativeSign() : QString();
    text = sign +
           numberText(magnitude / std::pow(base, double(chosen)), step.fractionDigits, options.locale) +
           QLatin1Char(' ') + QLatin1String(step.symbol);
    if (options.includesActualByteCount)
        text += QStringLiteral(" (") + options.locale.toString(byteCount) +
                (magnitude == 1 ? QStringLiteral(" byte)") : QStringLiteral(" bytes)"));
    return text;
}

std::optional<QString> formattedElapsedTime(double seconds, const QLocale &locale) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e15)
        return std::nullopt;
    auto remaining = static_cast<std::int64_t>(std::floor(seconds));
    const std::int64_t days = remaining / 86400;
    remaining %= 86400;
    const std::int64_t parts[] = {days, remaining / 3600, remaining % 3600 / 60, remaining % 60};
    icu::MeasureUnit *(*const makers[])(UErrorCode &) = {
        &icu::MeasureUnit::createDay, &icu::MeasureUnit::createHour, &icu::MeasureUnit::createMinute,
        &icu::MeasureUnit::createSecond};
    UErrorCode status = U_ZERO_ERROR;
    std::vector<icu::Measure> measures;
    for (std::size_t index = 0; index < 4; ++index) {
        const bool isLast = index == 3;
        if (parts[index] == 0 && !(isLast && measures.empty()))
            continue;
        measures.emplace_back(icu::Formattable(static_cast<int64_t>(parts[index])), makers[index](status),
                              status);
    }
    const icu::Locale icuLocale(locale.name().toUtf8().constData());
    icu::MeasureFormat format(icuLocale, UMEASFMT_WIDTH_NARROW, status);
    icu::UnicodeString text;
    icu::FieldPosition position;
    format.formatMeasures(measures.data(), int32_t(measures.size()), text, position, status);
    if (U_FAILURE(status))
        return std::nullopt;
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

std::optional<QString> englishNameOfLanguage(const QLocale &locale) {
    if (locale.language() == QLocale::AnyLanguage || locale.language() == QLocale::C)
        return std::nullopt;
    return QLocale::languageToString(locale.language());
}

} // namespace kestrova
