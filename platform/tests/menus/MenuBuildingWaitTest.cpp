#include "platform/menus/MenuBuildingWait.h"

#include "platform/testing/EventLoop.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <memory>

using kestrova::platform::MenuBuildingWait;
using kestrova::testing::processEventsUntil;

TEST(MenuBuildingWaitTest, RequestsDuringAWaitRunAfterTheOutermostOneInTheOrderTheyCame) {
    QObject context;
    QStringList ran;
    const auto request = [&](const QString &name) {
        MenuBuildingWait::runWhenMenusAreBuilt(&context, [&ran, name] { ran << name; });
    };
    // Nothing waits: at once.
    request(QStringLiteral("now"));
    EXPECT_EQ(ran, QStringList{QStringLiteral("now")});

    auto gone = std::make_unique<QObject>();
    {
        const MenuBuildingWait::Scope outer;
        request(QStringLiteral("first"));
        {
            const MenuBuildingWait::Scope inner;
            request(QStringLiteral("second"));
        }
        // The inner wait ended, the outer one did not: the loop that waits runs nothing kept.
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
        EXPECT_EQ(ran.size(), 1);
        MenuBuildingWait::runWhenMenusAreBuilt(gone.get(), [&ran] { ran << QStringLiteral("dropped"); });
        gone.reset();
    }
    // After the wait, not inside it; one that comes before they ran waits behind them.
    EXPECT_TRUE(MenuBuildingWait::holdsRequests());
    request(QStringLiteral("third"));
    EXPECT_EQ(ran.size(), 1);
    ASSERT_TRUE(processEventsUntil([&] { return !MenuBuildingWait::holdsRequests(); }));
    EXPECT_EQ(ran, (QStringList{QStringLiteral("now"), QStringLiteral("first"), QStringLiteral("second"),
                                QStringLiteral("third")}));
}

TEST(MenuBuildingWaitTest, ARequestThatWaitsItselfKeepsTheRestForAfterIt) {
    QObject context;
    QStringList ran;
    {
        const MenuBuildingWait::Scope waiting;
        MenuBuildingWait::runWhenMenusAreBuilt(&context, [&] {
            // Replayed, it builds a menu that waits again: what comes meanwhile runs after it.
            const MenuBuildingWait::Scope again;
            MenuBuildingWait::runWhenMenusAreBuilt(&context, [&] { ran << QStringLiteral("during replay"); });
            ran << QStringLiteral("replayed");
        });
        MenuBuildingWait::runWhenMenusAreBuilt(&context, [&] { ran << QStringLiteral("next"); });
    }
    ASSERT_TRUE(processEventsUntil([&] { return !MenuBuildingWait::holdsRequests(); }));
    EXPECT_EQ(ran, (QStringList{QStringLiteral("replayed"), QStringLiteral("next"),
                                QStringLiteral("during replay")}));
}
