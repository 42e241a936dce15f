#include "Date.h"

#include <cmath>

namespace kestrova::platform {

Date Date::now() {
    return fromUnixTime(static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
}

QDateTime Date::toDateTime() const {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(timeIntervalSince1970() * 1000.0)),
                                          Qt::UTC);
}

} // namespace kestrova::platform
