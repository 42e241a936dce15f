#include "foundation/app/KitHelpers.h"
#include "foundation/app/KvApp.h"
// Both headers in one file: the kit has one SortOrder, so they must not collide.
#include "foundation/collections/Sorting.h"
#include "foundation/testing/ReportedErrors.h"
#include "platform/testing/EventLoop.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace kestrova;

TEST(KitHelpersTest, AppErrorsAndMatching) {
    const Error inner(QStringLiteral("Inner"), 4);
    const Error error =
        appError(QStringLiteral("Failed"), QStringLiteral("Try again"), {}, QStringLiteral("Files"), inner);
    EXPECT_EQ(error.domain(), QStringLiteral("org.kestrova.Kestrova - Files"));
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("Failed"));
    EXPECT_EQ(error.localizedRecoverySuggestion(), QStringLiteral("Try again"));
    EXPECT_TRUE(isMatching(error, [](const Error &e) { return e.domain() == QStringLiteral("Inner"); }));
    EXPECT_FALSE(isMatching(error, [](const Error &e) { return e.code() == 99; }));
    EXPECT_EQ(errorIdentity(inner), QStringLiteral("4Inner") + inner.localizedDescription());

    SimpleOnce<int, int> once([](int value) { return value * 2; });
    EXPECT_EQ(once(2), 4);
    EXPECT_EQ(once(5), 4);

    bool ran = false;
    asyncAfter(0, qApp, [&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(kestrova::testing::processEventsUntil([&] { return ran; }));
}

TEST(KitHelpersTest, ColoursAndSorting) {
    const QColor red = QColor::fromRgbF(1, 0, 0);
    EXPECT_EQ(adjusting(red).toRgb(), red.toRgb());
    EXPECT_DOUBLE_EQ(hueSaturationBrightnessAlpha(adjusting(red, 0, -1))[1], 0.0);
    kestrova::testing::ReportedErrors reported;
    const QColor invalid;
    EXPECT_FALSE(adjusting(invalid).isValid()) << "comes back unchanged, not as transparent black";
    EXPECT_EQ(reported.errors().size(), 1);

    const std::vector<std::pair<int, QString>> items{{3, "c"}, {1, "a"}, {2, "b"}};
    const auto ascending = sortedByKey(items, &std::pair<int, QString>::first);
    EXPECT_EQ(ascending.front().first, 1);
    const auto descending = sortedByKey(items, &std::pair<int, QString>::first, SortOrder::descending);
    EXPECT_EQ(descending.front().first, 3);

    QPalette dark;
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, Qt::white);
    EXPECT_TRUE(isDarkMode(dark));
    EXPECT_EQ(TimingFunction::easeInEaseOut().valueForProgress(0.5), 0.5);
}
