#include "foundation/app/DebugInformation.h"
#include "foundation/app/DefaultsDebugDump.h"
#include "foundation/app/KvApp.h"
#include "foundation/app/KvKit.h"
#include "foundation/app/Log.h"
#include "platform/defaults/UserDefaults.h"

#include <gtest/gtest.h>

using namespace kestrova;
using platform::PropertyListValue;

namespace {

QStringList keysOf(const DefaultsDebugDump::Entries &entries) {
    QStringList keys;
    for (const auto &entry : entries)
        keys << entry.first;
    return keys;
}

} // namespace

TEST(DefaultsDebugDumpTest, ListsTheApplicationsKeysKitKeysFirstWithoutSystemKeys) {
    PropertyListValue::Dictionary stored;
    for (const char *key :
         {"folders", "hasMigratedSandbox", "Kv_launchCount", "Kv_firstLaunchDate",
          "__securityScopedBookmarks__", "SymbolPicker__recentlyUsedSymbols", "showFoldersInMenu", "_single",
          "NSWindow Frame main", "ILMediaThing", "MSAppCenterId", "SessionIdHistory", "UserIdHistory",
          "pastDevicesKey", "nsLowerCase", "myNSKey", "SessionIdHistoryLonger"})
        stored[QString::fromLatin1(key)] = PropertyListValue(true);
    EXPECT_EQ(keysOf(DefaultsDebugDump::debugDump(stored)),
              (QStringList{"Kv_firstLaunchDate", "Kv_launchCount", "__securityScopedBookmarks__",
                           "SessionIdHistoryLonger", "SymbolPicker__recentlyUsedSymbols", "_single",
                           "folders", "hasMigratedSandbox", "myNSKey", "nsLowerCase", "showFoldersInMenu"}));
    EXPECT_TRUE(DefaultsDebugDump::debugDump(PropertyListValue::Dictionary{}).empty());
}

TEST(DefaultsDebugDumpTest, ShowsValuesReadably) {
    const auto shown = [](const PropertyListValue &value) {
        return DefaultsDebugDump::description(DefaultsDebugDump::displayValue(value));
    };
    EXPECT_EQ(shown(PropertyListValue(true)), QStringLiteral("true"));
    EXPECT_EQ(shown(PropertyListValue(3.14159)), QStringLiteral("3.14"));
    EXPECT_EQ(shown(PropertyListValue(2.5)), QStringLiteral("2.5"));
    EXPECT_EQ(shown(PropertyListValue(-2.345)), QStringLiteral("-2.35"));
    EXPECT_EQ(shown(PropertyListValue(3.0)), QStringLiteral("3"));
    EXPECT_TRUE(DefaultsDebugDump::displayValue(PropertyListValue(3.0)).is<std::int64_t>());
    EXPECT_EQ(shown(PropertyListValue(QByteArray(20, 'x'))), QStringLiteral("<Data: 20 bytes>"));
    EXPECT_EQ(shown(PropertyListValue(QStringLiteral("plain"))), QStringLiteral("plain"));
    EXPECT_EQ(
        shown(PropertyListValue(PropertyListValue::Array{PropertyListValue(QStringLiteral("{\"a\":1}"))})),
        QStringLiteral("[\"{\"a\":1}\"]"));

    const DefaultsDebugDump::Entries two{{QStringLiteral("a"), PropertyListValue(1)},
                                         {QStringLiteral("b"), PropertyListValue(QStringLiteral("x y"))}};
    EXPECT_EQ(DefaultsDebugDump::formattedKeyValueLines(two), QStringLiteral("a: 1\nb: x y"));
}

TEST(DebugInformationTest, MemoryFootprintCountsAnonymousAndSharedMemoryOnly) {
    const QByteArray rollup =
        "55d0-7ffd ---p 00000000 00:00 0 [rollup]\n"
        "Rss:               51200 kB\nPss_Anon:          10000 kB\n"
        "Pss_File:          30000 kB\nPss_Shmem:            24 kB\nSwapPss:              8 kB\n";
    EXPECT_EQ(KvApp::memoryFootprint(rollup, {}), qint64(10032) * 1024);
    const QByteArray oldRollup = "Rss: 9 kB\nAnonymous:   100 kB\nSwap:   4 kB\n";
    EXPECT_EQ(KvApp::memoryFootprint(oldRollup, {}), qint64(104) * 1024);
    const QByteArray status = "Name:\tkestrova\nVmRSS:\t  9000 kB\nRssAnon:\t  700 kB\nRssShmem:\t 12 kB\n"
                              "VmSwap:\t  0 kB\n";
    EXPECT_EQ(KvApp::memoryFootprint("garbage: x kB\n", status), qint64(712) * 1024);
    EXPECT_EQ(KvApp::memoryFootprint({}, "RssAnon: -5 kB\n"), std::nullopt);
    // This process: something, and less than everything it maps.
    const auto own = KvApp::memoryFootprint();
    ASSERT_TRUE(own.has_value());
    EXPECT_GT(*own, 0);
    EXPECT_NE(KvApp::memoryUsageDescription(), QStringLiteral("<Unavailable>"));
}

TEST(DebugInformationTest, FactsAndReportCarryTheirLabelsInOrder) {
    auto defaults = platform::UserDefaults::standard();
    defaults->removeAll();
    const QString facts = KvApp::debugInfoText();
    EXPECT_TRUE(
        facts.startsWith(QStringLiteral("App: Kestrova ") + KvApp::versionWithBuild() + QLatin1Char('\n')))
        << facts.toStdString();
    QStringList labels;
    for (const QString &line : facts.split(QLatin1Char('\n')))
        labels << line.section(QStringLiteral(": "), 0, 0);
    EXPECT_EQ(labels.mid(0, 9),
              (QStringList{"App", "Bundle Identifier", "OS", "Model", "Architecture", "Locale", "Screens",
                           "Primary Screen Scale", "App Memory Usage"}));

    defaults->setObject(PropertyListValue(QStringLiteral("yes")), QStringLiteral("showFoldersInMenu"));
    defaults->setObject(PropertyListValue(4), QStringLiteral("Kv_launchCount"));
    defaults->setObject(PropertyListValue(1), QStringLiteral("NSWindowFrame"));
    const QString report = KvApp::debugReportText();
    EXPECT_TRUE(
        report.startsWith(QStringLiteral("# Kestrova ") + KvApp::versionWithBuild() +
                          QStringLiteral("\n\nBundle Identifier: org.kestrova.Kestrova\nRunning Time: ")));
    EXPECT_TRUE(report.contains(QStringLiteral("\nLaunch Count: ") + QString::number(KvApp::launchCount()) +
                                QStringLiteral("\n\n# Device\n\nOS: ")));
    EXPECT_TRUE(report.contains(
        QStringLiteral("\n\n# Settings\n\nKv_launchCount: 4\nshowFoldersInMenu: yes\n\n# Custom\n\n")));
    EXPECT_FALSE(report.contains(QStringLiteral("NSWindowFrame")));
    EXPECT_TRUE(report.endsWith(QStringLiteral("```")));
    if (errorReportingMetadata().keyValuePairs().empty()) {
        EXPECT_TRUE(report.contains(QStringLiteral("# Custom\n\n\n\n# Logs\n\n```\n")));
    }
    if (InAppLogStore::shared().entries().isEmpty()) {
        EXPECT_TRUE(report.endsWith(QStringLiteral("# Logs\n\n```\n<Empty>\n```")));
    }

    defaults->removeAll();
    EXPECT_TRUE(KvApp::debugReportText().contains(QStringLiteral("# Settings\n\n<Empty>\n\n# Custom")));
}

TEST(DebugInformationTest, LaunchCompletionsRunOnceInOrder) {
    QStringList ran;
    LaunchCompletions::add([&] { ran << QStringLiteral("first"); });
    LaunchCompletions::add([&] {
        ran << QStringLiteral("second");
        LaunchCompletions::add([&] { ran << QStringLiteral("later"); });
    });
    LaunchCompletions::runFinishedLaunchingCompletions();
    EXPECT_EQ(ran, (QStringList{"first", "second"}));
    LaunchCompletions::runFinishedLaunchingCompletions();
    LaunchCompletions::runFinishedLaunchingCompletions();
    EXPECT_EQ(ran, (QStringList{"first", "second", "later"}));
}

TEST(InAppLogStoreTest, RemoveAllEmptiesTheStore) {
    InAppLogStore store(3);
    for (int index = 0; index < 5; ++index)
        store.append(QString::number(index));
    EXPECT_EQ(store.entries(), (QStringList{"2", "3", "4"}));
    store.removeAll();
    EXPECT_TRUE(store.entries().isEmpty());
    store.append(QStringLiteral("after"));
    EXPECT_EQ(store.entries(), QStringList{QStringLiteral("after")});
}
