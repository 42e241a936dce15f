#include "foundation/errors/FatalReason.h"

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

[[noreturn]] void initWithCoder() {
    fatalError(FatalReason::notYetImplemented);
}

} // namespace

TEST(FatalReasonTest, StopsWithTheCallersPositionAndReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(initWithCoder(),
                 "FatalReasonTest\\.cpp:[0-9]+: Fatal error: .*initWithCoder.*: Not yet implemented\\.");

    const QString message = fatalErrorMessage("Custom reason", std::source_location::current());
    const int line = __LINE__ - 1;
    EXPECT_TRUE(message.endsWith(QStringLiteral(": Custom reason")));
    EXPECT_TRUE(message.contains(QStringLiteral("FatalReasonTest.cpp:%1: Fatal error: ").arg(line)));
    EXPECT_EQ(FatalReason(QStringLiteral("x")).toString(), QStringLiteral("x"));
}
