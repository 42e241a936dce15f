#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace kestrova {

// How a byte count is written ("1.5 MB", "Zero KB", "812 bytes").
struct ByteCountFormatOptions {
    // File and decimal count 1,000 bytes to the kilobyte, memory and binary 1,024.
    enum class Style { file, memory, decimal, binary };
    enum Unit : unsigned {
        bytes = 1 << 0,
        kilobytes = 1 << 1,
        megabytes = 1 << 2,
        gigabytes = 1 << 3,
        terabytes = 1 << 4,
        petabytes = 1 << 5,
        exabytes = 1 << 6,
        allUnits = 0x7f,
    };

    Style style = Style::file;
    unsigned allowedUnits = allUnits;
    // Zero is spelled out ("Zero KB") rather than written as a number.
    bool allowsNonnumericFormatting = true;
    // The exact count follows in parentheses when a larger unit was used ("1.2 MB (1,234,567 bytes)").
    bool includesActualByteCount = false;
    QLocale locale;
};

QString formattedByteCount(std::int64_t byteCount, const ByteCountFormatOptions &options = {});

// An elapsed time in abbreviated units, largest first and leaving out zero units ("1h 5m 3s", "2d 1h");
// "0s" for less than a second. Nothing for a negative or non-finite interval.
std::optional<QString> formattedElapsedTime(double seconds, const QLocale &locale = QLocale());

// The English name of the locale's language ("German" for de_CH); nothing when the locale names no
// language.
std::optional<QString> englishNameOfLanguage(const QLocale &locale);

} // namespace kestrova
