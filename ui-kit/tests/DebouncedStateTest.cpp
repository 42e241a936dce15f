#include "ui-kit/utilities/DebouncedState.h"

#include "platform/testing/EventLoop.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrova {
namespace {

TEST(DebouncedStateTest, PublishesOnlyTheLastValueOfABurst) {
    DebouncedState<int> state(0, std::chrono::milliseconds(20));
    std::vector<int> published;
    const auto subscription = state.observe([&](const int &value) { published.push_back(value); });
    state.setValue(1);
    state.setValue(2);
    state.setValue(3);
    EXPECT_EQ(state.value(), 3);
    EXPECT_EQ(state.debouncedValue(), 0);
    ASSERT_TRUE(testing::processEventsUntil([&] { return !published.empty(); }));
    EXPECT_EQ(published, std::vector<int>{3});
    EXPECT_EQ(state.debouncedValue(), 3);
}

} // namespace
} // namespace kestrova
