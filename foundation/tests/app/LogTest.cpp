#include "foundation/app/Log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace kestrova;

namespace {

// Places a log line can come from, each with the signature the compiler gives it.
struct Logger {
    QString member(int, const QString &) const { return where(std::source_location::current()); }
    static QString fromStatic() { return where(std::source_location::current()); }
    QString operator()(int) const { return where(std::source_location::current()); }
    static QString where(const std::source_location &location) { return logMessageText({}, location); }
};

template <typename Value> QString templated(Value) {
    return Logger::where(std::source_location::current());
}

QString fromLambda() {
    const auto lambda = [](int value) {
        return Logger::where(std::source_location::current()) + QString::number(value);
    };
    return lambda(1);
}

QString locationPart(const QString &line) {
    const qsizetype start = line.indexOf(u'[');
    return line.mid(start + 1, line.indexOf(u" in ") - start - 1);
}

} // namespace

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

TEST(LogTest, LineNamesTheFunctionWithoutItsSignature) {
    const Logger logger;
    EXPECT_EQ(locationPart(logger.member(1, {})), QStringLiteral("member"));
    EXPECT_EQ(locationPart(Logger::fromStatic()), QStringLiteral("fromStatic"));
    EXPECT_EQ(locationPart(logger(1)), QStringLiteral("operator()"));
    EXPECT_EQ(locationPart(fromLambda()), QStringLiteral("fromLambda"));
    EXPECT_EQ(locationPart(templated(1)), QStringLiteral("templated"));
    const QString line = logMessageText({}, std::source_location::current());
    EXPECT_TRUE(line.startsWith(QStringLiteral("\n\t[TestBody in LogTest:"))) << line.toStdString();

    // Signatures as GCC writes them, including those the cases above cannot produce.
    EXPECT_EQ(logFunctionName("void kestrova::FolderController::buildMenu(kestrova::KvMenu&)"),
              QStringLiteral("buildMenu"));
    EXPECT_EQ(logFunctionName("std::vector<std::pair<int, int> > kestrova::f(std::function<void()>) const &"),
              QStringLiteral("f"));
    EXPECT_EQ(logFunctionName("kestrova::Box<T>::Box(T) [with T = int]"), QStringLiteral("Box"));
    EXPECT_EQ(logFunctionName("kestrova::Box<T>::~Box() [with T = int]"), QStringLiteral("~Box"));
    EXPECT_EQ(logFunctionName("void kestrova::{anonymous}::helper()"), QStringLiteral("helper"));
    EXPECT_EQ(logFunctionName("bool kestrova::operator<(const A&, const A&)"), QStringLiteral("operator<"));
    EXPECT_EQ(logFunctionName("kestrova::X::operator bool() const"), QStringLiteral("operator bool"));
    EXPECT_EQ(logFunctionName("kestrova::run()::<lambda(int)>"), QStringLiteral("run"));
    EXPECT_EQ(logFunctionName("void kestrova::operatorList(int)"), QStringLiteral("operatorList"));
    EXPECT_EQ(logFunctionName("int main(int, char**)"), QStringLiteral("main"));
    EXPECT_EQ(logFunctionName("url"), QStringLiteral("url"));
    EXPECT_EQ(logFunctionName(""), QString());
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
