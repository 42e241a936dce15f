#include "DispatchTimeInterval.h"

#include "foundation/errors/ValueReports_p.h"

#include <limits>

namespace kestrova {

qint64 DispatchTimeInterval::toNanoseconds() const {
    qint64 factor = 1;
    switch (m_kind) {
    case Kind::seconds:
        factor = 1'000'000'000;
        break;
    case Kind::milliseconds:
        factor = 1'000'000;
        break;
    case Kind::microseconds:
        factor = 1'000;
        break;
    case Kind::nanoseconds:
        break;
    case Kind::never:
        return 0;
    }
    qint64 result = 0;
    if (!__builtin_mul_overflow(m_count, factor, &result))
        return result;
    detail::reportUnexpectedValue(
        QStringLiteral("Dispatch time interval of %1 units of %2 ns overflows").arg(m_count).arg(factor));
    return m_count < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}

bool operator<(const DispatchTimeInterval &lhs, const DispatchTimeInterval &rhs) {
    if (lhs.m_kind == DispatchTimeInterval::Kind::never)
        return false;
    if (rhs.m_kind == DispatchTimeInterval::Kind::never)
        return true;
    return lhs.toNanoseconds() < rhs.toNanoseconds();
}

bool operator<=(const DispatchTimeInterval &lhs, const DispatchTimeInterval &rhs) {
    if (rhs.m_kind == DispatchTimeInterval::Kind::never)
        return true;
    if (lhs.m_kind == DispatchTimeInterval::Kind::never)
        return false;
    return lhs.toNanoseconds() <= rhs.toNanoseconds();
}

} // namespace kestrova
