#pragma once

#include "platform/values/Measurement.h"

#include <QLocale>
#include <QString>

#include <array>
#include <compare>
#include <functional>
#include <optional>

namespace kestrova {

// A count of bytes, used for file and memory sizes shown to the user instead of a bare number. Units are
// decimal (a kilobyte is 1000 bytes). Sums and differences that leave the 64-bit range are reported and
// clamped to it rather than wrapping around.
class Bytes {
public:
    enum class Unit { bits, bytes, kilobytes, megabytes, gigabytes };
    static constexpr std::array<Unit, 5> allUnits{Unit::bits, Unit::bytes, Unit::kilobytes, Unit::megabytes,
                                                  Unit::gigabytes};

    // The number of bytes in one unit.
    static constexpr double rawValue(Unit unit) {
        switch (unit) {
        case Unit::bits:
            return 0.125;
        case Unit::bytes:
            return 1;
        case Unit::kilobytes:
            return 1000;
        case Unit::megabytes:
            return 1000000;
        case Unit::gigabytes:
            return 1000000000;
        }
        return 1;
    }
    // The unit of exactly that many bytes, or none.
    static std::optional<Unit> unitFromRawValue(double bytes);

    static const Bytes zero;

    constexpr Bytes() = default;
    constexpr explicit Bytes(qint64 bytes)
        : m_bytes(bytes) {}
    // The measurement in whole bytes, rounded toward zero; a value outside the 64-bit range is reported
    // and clamped to it.
    explicit Bytes(const platform::Measurement<platform::UnitInformationStorage> &measurement);

    constexpr qint64 bytes() const { return m_bytes; }
    // The count in `unit`: 1500 bytes are 1.5 kilobytes, 1 byte is 8 bits.
    double value(Unit unit) const { return static_cast<double>(m_bytes) / rawValue(unit); }
    platform::Measurement<platform::UnitInformationStorage> measurement() const;

    // The count as a file size for people ("Zero KB", "1 byte", "999 bytes", "1.5 MB", "1.23 GB"): the
    // largest decimal unit that keeps the number below 1000, no fraction digits for kilobytes, one for
    // megabytes and two beyond, trailing zeros dropped, numbers in `locale`.
    QString fileSizeText(const QLocale &locale = QLocale()) const;
    // The file-size text in the current locale followed by the exact count: "1.5 MB (1500000)".
    QString debugDescription() const;

    friend Bytes operator+(Bytes lhs, Bytes rhs);
    friend Bytes operator-(Bytes lhs, Bytes rhs);
    Bytes &operator+=(Bytes other) { return *this = *this + other; }
    Bytes &operator-=(Bytes other) { return *this = *this - other; }
    friend constexpr bool operator==(Bytes, Bytes) = default;
    friend constexpr auto operator<=>(Bytes, Bytes) = default;

private:
    qint64 m_bytes = 0;
};

inline constexpr Bytes Bytes::zero{};

} // namespace kestrova

template <> struct std::hash<kestrova::Bytes> {
    std::size_t operator()(const kestrova::Bytes &bytes) const { return std::hash<qint64>{}(bytes.bytes()); }
};
