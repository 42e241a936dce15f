#include "foundation/lifetime/ListenerHolder.h"
#include "foundation/lifetime/NotificationToken.h"

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

const QString kName = QStringLiteral("Changed");

TEST(NotificationTokenTest, ReleasedTokenUnregisters) {
    auto center = std::make_shared<platform::NotificationCenter>();
    int calls = 0;
    auto token =
        NotificationToken::observe(center, kName, nullptr, [&](const platform::Notification &) { ++calls; });
    center->post({kName, nullptr, {}});
    EXPECT_EQ(calls, 1);

    // The token keeps its center alive.
    std::weak_ptr<platform::NotificationCenter> weakCenter = center;
    center.reset();
    ASSERT_FALSE(weakCenter.expired());
    auto held = weakCenter.lock();
    token.reset();
    held->post({kName, nullptr, {}});
    EXPECT_EQ(calls, 1);
}

TEST(NotificationTokenTest, HolderRemovesItsObserversWhileTheCenterLives) {
    auto center = std::make_shared<platform::NotificationCenter>();
    int calls = 0;
    auto holder = std::make_unique<ListenerHolder>(center);
    holder->addObserver(kName, nullptr, [&](const platform::Notification &) { ++calls; });
    holder->addObserver(QString(), nullptr, [&](const platform::Notification &) { ++calls; });
    ASSERT_EQ(holder->tokens().size(), 2u);
    center->post({kName, nullptr, {}});
    EXPECT_EQ(calls, 2);
    holder.reset();
    center->post({kName, nullptr, {}});
    EXPECT_EQ(calls, 2);

    // A holder whose center is gone neither registers nor touches the center when it goes.
    auto orphan = std::make_unique<ListenerHolder>(center);
    orphan->addObserver(kName, nullptr, [](const platform::Notification &) {});
    center.reset();
    orphan->addObserver(kName, nullptr, [](const platform::Notification &) {});
    EXPECT_EQ(orphan->tokens().size(), 1u);
    orphan.reset();

    auto onDefault = NotificationToken::observe(sharedDefaultNotificationCenter(), kName, &calls,
                                                [&](const platform::Notification &) { ++calls; });
    platform::NotificationCenter::defaultCenter().post({kName, &calls, {}});
    EXPECT_EQ(calls, 3);
}

} // namespace
