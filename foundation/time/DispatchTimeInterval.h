#pragma once

#include <QtGlobal>

namespace kestrova {

// A span of time as the dispatch layer counts it: a whole number of seconds, milliseconds, microseconds or
// nanoseconds, or `never`. `never` orders after every finite interval; finite intervals order by their
// length in nanoseconds, so 1 ms and 1,000,000 ns are neither less nor greater than each other (while
// `==` still tells the two spellings apart).
class DispatchTimeInterval {
public:
    enum class Kind { seconds, milliseconds, microseconds, nanoseconds, never };

    static constexpr DispatchTimeInterval seconds(qint64 count) { return {Kind::seconds, count}; }
    static constexpr DispatchTimeInterval milliseconds(qint64 count) { return {Kind::milliseconds, count}; }
    static constexpr DispatchTimeInterval microseconds(qint64 count) { return {Kind::microseconds, count}; }
    static constexpr DispatchTimeInterval nanoseconds(qint64 count) { return {Kind::nanoseconds, count}; }
    static constexpr DispatchTimeInterval never() { return {Kind::never, 0}; }

    constexpr Kind kind() const { return m_kind; }
    // The count in the interval's own unit; 0 for `never`.
    constexpr qint64 count() const { return m_count; }

    // The length in nanoseconds; `never` gives 0. A length beyond the 64-bit range is reported and
    // clamped to the range.
    qint64 toNanoseconds() const;

    friend constexpr bool operator==(const DispatchTimeInterval &, const DispatchTimeInterval &) = default;
    friend bool operator<(const DispatchTimeInterval &lhs, const DispatchTimeInterval &rhs);
    friend bool operator>(const DispatchTimeInterval &lhs, const DispatchTimeInterval &rhs) {
        return rhs < lhs;
    }
    friend bool operator<=(const DispatchTimeInterval &lhs, const DispatchTimeInterval &rhs);
    friend bool operator>=(const DispatchTimeInterval &lhs, const DispatchTimeInterval &rhs) {
        return rhs <= lhs;
    }

private:
    constexpr DispatchTimeInterval(Kind kind, qint64 count)
        : m_kind(kind)
        , m_count(count) {}

    Kind m_kind;
    qint64 m_count;
};

} // namespace kestrova
