#pragma once

#include <QString>

namespace kestrova::platform {

// A unit of one physical dimension: its symbol and how many base units one of it holds. Two units are the
// same unit when both agree.
struct Dimension {
    QString symbol;
    double coefficient = 1;

    friend bool operator==(const Dimension &, const Dimension &) = default;
};

// Units of time; the base unit is the second.
struct UnitDuration : Dimension {
    static UnitDuration baseUnit() { return seconds(); }
    static UnitDuration nanoseconds() { return {{QStringLiteral("ns"), 1e-9}}; }
    static UnitDuration microseconds() { return {{QStringLiteral("µs"), 1e-6}}; }
    static UnitDuration milliseconds() { return {{QStringLiteral("ms"), 0.001}}; }
    static UnitDuration seconds() { return {{QStringLiteral("s"), 1}}; }
    static UnitDuration minutes() { return {{QStringLiteral("min"), 60}}; }
    static UnitDuration hours() { return {{QStringLiteral("hr"), 3600}}; }
};

// Units of stored information, decimal multiples; the base unit is the bit.
struct UnitInformationStorage : Dimension {
    static UnitInformationStorage baseUnit() { return bits(); }
    static UnitInformationStorage bits() { return {{QStringLiteral("bit"), 1}}; }
    static UnitInformationStorage bytes() { return {{QStringLiteral("B"), 8}}; }
    static UnitInformationStorage kilobytes() { return {{QStringLiteral("kB"), 8e3}}; }
    static UnitInformationStorage megabytes() { return {{QStringLiteral("MB"), 8e6}}; }
    static UnitInformationStorage gigabytes() { return {{QStringLiteral("GB"), 8e9}}; }
};

// A value with a unit of one dimension. Adding or subtracting values of the same unit keeps that unit;
// values of different units meet in the dimension's base unit.
template <typename Unit> struct Measurement {
    double value = 0;
    Unit unit = Unit::baseUnit();

    // The value 0 in the dimension's base unit: the neutral element of `+`.
    static Measurement zero() { return {0, Unit::baseUnit()}; }

    Measurement converted(const Unit &target) const {
        if (target == unit)
            return *this;
        return {value * unit.coefficient / target.coefficient, target};
    }

    friend Measurement operator+(const Measurement &lhs, const Measurement &rhs) {
        if (lhs.unit == rhs.unit)
            return {lhs.value + rhs.value, lhs.unit};
        const Unit base = Unit::baseUnit();
        return {lhs.converted(base).value + rhs.converted(base).value, base};
    }
    friend Measurement operator-(const Measurement &lhs, const Measurement &rhs) {
        if (lhs.unit == rhs.unit)
            return {lhs.value - rhs.value, lhs.unit};
        const Unit base = Unit::baseUnit();
        return {lhs.converted(base).value - rhs.converted(base).value, base};
    }
    Measurement &operator+=(const Measurement &other) { return *this = *this + other; }
    Measurement &operator-=(const Measurement &other) { return *this = *this - other; }

    friend bool operator==(const Measurement &lhs, const Measurement &rhs) {
        if (lhs.unit == rhs.unit)
            return lhs.value == rhs.value;
        const Unit base = Unit::baseUnit();
        return lhs.converted(base).value == rhs.converted(base).value;
    }
};

} // namespace kestrova::platform
