#include "platform/menus/ReleaseGradually.h"

#include "platform/menus/MenuItem.h"
#include "platform/testing/EventLoop.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrova::platform;

namespace {

// A closed menu's rows are freed over turns of the event loop: all of them in the end, and what is told
// of the end only once the last has gone; a row still held elsewhere (a chosen row's action) lives on.
TEST(ReleaseGraduallyTest, EveryRowIsFreedBeforeTheEndIsToldAndHeldRowsStay) {
    std::vector<std::shared_ptr<MenuItem>> rows;
    std::vector<std::weak_ptr<MenuItem>> watched;
    for (int index = 0; index < 200000; ++index) {
        rows.push_back(std::make_shared<MenuItem>(QStringLiteral("row %1").arg(index)));
        watched.push_back(rows.back());
    }
    const std::shared_ptr<MenuItem> held = rows[1234];
    int ended = 0;
    bool allGoneAtEnd = false;
    const auto goneCount = [&] {
        return std::count_if(watched.begin(), watched.end(), [](const auto &row) { return row.expired(); });
    };
    releaseGradually(std::move(rows), [&] {
        ++ended;
        allGoneAtEnd = goneCount() == std::ptrdiff_t(watched.size()) - 1;
    });
    EXPECT_EQ(goneCount(), 0) << "nothing is freed in the closing's own turn";
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return ended == 1; }));
    EXPECT_TRUE(allGoneAtEnd);
    EXPECT_EQ(held->title(), QStringLiteral("row 1234"));
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 1);
}

} // namespace
