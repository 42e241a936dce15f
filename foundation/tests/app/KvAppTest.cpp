#include "foundation/errors/GeneralError.h"
#include "foundation/app/KvApp.h"
#include "platform/reports/CrashReporter.h"
#include "platform/testing/CrashReportFiles.h"

#include <QSet>
#include <QSize>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace kestrova;
using kestrova::platform::CrashReporter;
using Json = nlohmann::ordered_json;

namespace {

// Reports go through the process's real crash reporter, which writes into the test's temporary home.
class KvAppReportTest : public ::testing::Test {
protected:
    void SetUp() override { m_before = filesNow(); }

    void TearDown() override {
        KvApp::setIgnoredReportErrors({});
        KvApp::setShouldReportError([](const Error &) { return true; });
        for (const auto &[key, value] : errorReportingMetadata().keyValuePairs())
            errorReportingMetadata().setValue(key, std::nullopt);
    }

    static QSet<QString> filesNow() {
        const QStringList files =
            kestrova::testing::crashReportFiles(CrashReporter::shared().reportsDirectory());
        return QSet<QString>(files.begin(), files.end());
    }

    // The events written since the test began (or since the last call).
    std::vector<Json> newEvents() {
        EXPECT_TRUE(CrashReporter::shared().waitForPendingReports(std::chrono::seconds(10)));
        const QSet<QString> now = filesNow();
        std::vector<Json> events;
        for (const QString &name : now - m_before) {
            const auto envelope =
                kestrova::testing::readCrashReport(CrashReporter::shared().reportsDirectory() + u'/' + name);
            EXPECT_TRUE(envelope) << name.toStdString();
            if (envelope)
                events.push_back(envelope->event["error"]);
        }
        m_before = now;
        return events;
    }

    QSet<QString> m_before;
};

} // namespace

TEST_F(KvAppReportTest, SendsGeneralErrorsRewrittenWithCallerPosition) {
    KvApp::reportError(GeneralError(QStringLiteral("Bookmark is stale")));
    const int line = __LINE__ - 1;
    const auto events = newEvents();
    ASSERT_EQ(events.size(), 1u);
    const Json &error = events.front();
    EXPECT_EQ(error["domain"], "Kestrova.GeneralError.GeneralError");
    EXPECT_EQ(error["code"], 9035575089960055123LL);
    EXPECT_EQ(error["userInfo"]["codeString"], "GeneralError");
    EXPECT_EQ(error["userInfo"]["localizedDescription"], "Bookmark is stale");
    EXPECT_EQ(error["userInfo"]["line"], line);
    EXPECT_TRUE(
        QString::fromStdString(error["userInfo"]["file"].get<std::string>()).endsWith("KvAppTest.cpp"));
}

TEST_F(KvAppReportTest, CallerEntriesWinOverPositionAndMetadataWinsOverBoth) {
    const UserInfo mine{{QStringLiteral("file"), QStringLiteral("mine.cpp")}};
    KvApp::reportError(Error(QStringLiteral("Own.Domain"), 7), mine);
    const int line = __LINE__ - 1;
    errorReportingMetadata().setValue(QStringLiteral("line"), QStringLiteral("from metadata"));
    errorReportingMetadata().setValue(QStringLiteral("session"), 3);
    KvApp::reportError(Error(QStringLiteral("Other.Domain"), 8), {{QStringLiteral("session"), 1}});

    auto events = newEvents();
    ASSERT_EQ(events.size(), 2u);
    std::sort(events.begin(), events.end(),
              [](const Json &a, const Json &b) { return a["code"] < b["code"]; });
    EXPECT_EQ(events[0]["domain"], "Own.Domain");
    EXPECT_EQ(events[0]["userInfo"]["file"], "mine.cpp");
    EXPECT_EQ(events[0]["userInfo"]["line"], line);
    EXPECT_EQ(events[1]["userInfo"]["line"], "from metadata");
    EXPECT_EQ(events[1]["userInfo"]["session"], 3);
}

TEST_F(KvAppReportTest, FiltersDropErrorsSilently) {
    int asked = 0;
    KvApp::setShouldReportError([&](const Error &error) {
        ++asked;
        return error.domain() != QStringLiteral("Refused");
    });
    KvApp::setIgnoredReportErrors({{QStringLiteral("Ignored"), 3}});

    KvApp::reportError(CancellationError());
    EXPECT_EQ(asked, 0);
    KvApp::reportError(Error(QStringLiteral("Refused"), 2));
    KvApp::reportError(Error(QStringLiteral("Ignored"), 3));
    KvApp::reportError(
        GeneralError(QStringLiteral("wrapped"), std::nullopt, {}, std::nullopt,
                     {Error(QStringLiteral("Other"), 1), Error(QStringLiteral("Ignored"), 3)}));
    KvApp::reportError(Error(
        QStringLiteral("Outer"), 5,
        {{QString(ErrorKey::underlyingError), QVariant::fromValue(Error(QStringLiteral("Ignored"), 3))}}));
    EXPECT_TRUE(newEvents().empty());

    // A neighbouring code, a deeper nesting and a plain cancellation that is not the kit's own all pass.
    const Error inner(
        QStringLiteral("Outer"), 5,
        {{QString(ErrorKey::underlyingError), QVariant::fromValue(Error(QStringLiteral("Ignored"), 3))}});
    KvApp::reportError(Error(QStringLiteral("Ignored"), 4));
    KvApp::reportError(
        Error(QStringLiteral("Deep"), 6, {{QString(ErrorKey::underlyingError), QVariant::fromValue(inner)}}));
    KvApp::reportError(Error(QString(ErrorDomain::urlLoading), URLErrorCode::cancelled));
    EXPECT_EQ(newEvents().size(), 3u);
    EXPECT_EQ(asked, 4);
}

TEST_F(KvAppReportTest, OddUserInfoStillGivesAReadableReport) {
    const GeneralError error(
        QStringLiteral("odd"), std::nullopt,
        {{QStringLiteral("bytes"), QByteArray("\xff\xc3", 2)},
         {QStringLiteral("surrogate"), QString(QChar(0xDC01))},
         {QStringLiteral("size"), QSize(3, 4)},
         {QString(), QString()},
         {QStringLiteral("nested"), QVariantList{QVariantMap{{QStringLiteral("k"), QVariant()}}}}},
        std::nullopt, {Error(QStringLiteral("Inner"), 9, {{QStringLiteral("x"), 1}})},
        {{QStringLiteral("Retry"), [] { return true; }}});
    KvApp::reportError(error);
    const auto events = newEvents();
    ASSERT_EQ(events.size(), 1u);
    const Json &info = events.front()["userInfo"];
    EXPECT_EQ(info["bytes"], "\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(info["size"], "<QSize>");
    EXPECT_TRUE(info["nested"][0]["k"].is_null());
    EXPECT_EQ(info["multipleUnderlyingErrors"][0]["domain"], "Inner");
    EXPECT_EQ(info["multipleUnderlyingErrors"][0]["userInfo"]["x"], 1);
    EXPECT_EQ(info["recoveryAttempter"], "ErrorRecoveryAttempter");
    EXPECT_EQ(info["localizedRecoveryOptions"][0], "Retry");
}

TEST_F(KvAppReportTest, ReportsFromManyThreads) {
    std::vector<std::thread> threads;
    for (int index = 0; index < 4; ++index) {
        threads.emplace_back([index] {
            errorReportingMetadata().setValue(QStringLiteral("thread%1").arg(index), index);
            for (int step = 0; step < 5; ++step)
                KvApp::reportError(Error(QStringLiteral("Threaded"), index * 10 + step));
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(newEvents().size(), 20u);
}
