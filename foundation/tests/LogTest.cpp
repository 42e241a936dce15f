#include "foundation/Log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace kestrova;

TEST(LogTest, LineShowsValuesAsDebugTextAndWhereItCameFrom) {
    const auto here = std::source_location::current();
    const QString line = logMessageText({3, QStringLiteral("text")}, here);
    EXPECT_TRUE(line.startsWith(QStringLiteral("3 \"text\"\n\t[")));
    EXPECT_TRUE(line.endsWith(QStringLiteral(" in LogTest:%1]\n").arg(here.line()))) << line.toStdString();
    EXPECT_TRUE(logMessageText({}, here).startsWith(QStringLiteral("\n\t[")));

    QStringList sent;
    setLogSink([&](LogType, const QString &text) { sent << text; });
    kestrova::log({QStringLiteral("hello")});
    setLogSink({});
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent.front().startsWith(QStringLiteral("[general] \"hello\"\n\t[")));
}

TEST(LogTest, StoreKeepsTheMostRecentEntriesUpToItsLimit) {
    InAppLogStore store;
    EXPECT_EQ(store.limit(), 10000);
    for (int index = 0; index <= 10000; ++index)
        store.append(QString::number(index));
    const QStringList entries = store.entries();
    ASSERT_EQ(entries.size(), 10000);
    EXPECT_EQ(entries.front(), QStringLiteral("1"));
    EXPECT_EQ(entries.back(), QStringLiteral("10000"));

    InAppLogStore small(50);
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 4; ++writer)
        writers.emplace_back([&] {
            for (int index = 0; index < 500; ++index)
                small.append(QStringLiteral("entry"));
        });
    for (auto &thread : writers)
        thread.join();
    EXPECT_EQ(small.entries().size(), 50);
}
