#include "EnumCaseMap.h"

#include "foundation/errors/ValueReports_p.h"

namespace kestrova::detail {

void stopForEnumCaseWithoutValue(int caseValue) {
    stopWithFatalMessage(
        QStringLiteral("EnumCaseMap has no value for the case with value %1").arg(caseValue));
}

} // namespace kestrova::detail
