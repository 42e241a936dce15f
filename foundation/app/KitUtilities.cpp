#include "KitUtilities.h"

#include "foundation/errors/ValueReports_p.h"

namespace kestrova {

void detail::reportErrorValue(const QString &description, std::source_location where) {
    reportUnexpectedValue(QStringLiteral("Reported error: ") + description, where);
}

QByteArray removingTrailingZeroByte(const QByteArray &data) {
    if (data.isEmpty() || data.back() != '\0')
        return data;
    return data.first(data.size() - 1);
}

} // namespace kestrova
