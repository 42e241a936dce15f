#include "foundation/app/ProgramCodePages.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

// Code that has not run since the release: what it computes shows its pages came back intact.
QString spelledOut(const QStringList &words) {
    return words.join(QLatin1Char('-')).toUpper();
}

TEST(ProgramCodePagesTest, LetsGoOfTheProgramsCodeAndRunsOnUnchanged) {
    static const QString kept =
        spelledOut({QStringLiteral("kept"), QStringLiteral("as"), QStringLiteral("is")});
    const qint64 before = ProgramCodePages::residentBytes();
    ASSERT_GT(before, 0) << "the test program's own code is resident while it runs";
    const qint64 released = ProgramCodePages::release();
    EXPECT_GE(released, before);
    const qint64 after = ProgramCodePages::residentBytes();
    // Reading the figure runs some code again, which comes back; most stays out.
    EXPECT_LT(after, before / 2) << before << " → " << after;
    EXPECT_EQ(spelledOut({QStringLiteral("still"), QStringLiteral("runs")}), QStringLiteral("STILL-RUNS"));
    // Data was not touched.
    EXPECT_EQ(kept, QStringLiteral("KEPT-AS-IS"));
    EXPECT_GT(ProgramCodePages::release(), 0) << "a second release is harmless";
}

} // namespace
} // namespace kestrova
