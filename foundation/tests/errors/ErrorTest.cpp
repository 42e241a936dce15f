#include "foundation/errors/Error.h"
#include "foundation/errors/ErrorRecoveryAttempter.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/errors/UnexpectedNilError.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <limits>

using namespace kestrova;

namespace {

// A kit-style error whose printed form the test chooses.
class PrintedError : public Error {
public:
    explicit PrintedError(const QString &printed, qint64 code = 1, const UserInfo &userInfo = {})
        : Error(QStringLiteral("Test.PrintedError"), code, userInfo, printed, {}) {}
};

} // namespace

TEST(GeneralErrorTest, BuildsItsUserInfo) {
    const Error underlying(QStringLiteral("Inner"), 5);
    bool recovered = false;
    const GeneralError error(
        QStringLiteral("Could not save"), QStringLiteral("Try again."),
        {{QStringLiteral("kept"), 1}, {QString(ErrorKey::url), QStringLiteral("replaced")}},
        QUrl(QStringLiteral("file:///tmp/a%20b")), {underlying},
        {{QStringLiteral("Retry"), [&] { return recovered = true; }}}, QStringLiteral("anchor"));

    EXPECT_EQ(error.domain(), QStringLiteral("Kestrova.GeneralError"));
    EXPECT_EQ(error.code(), 1);
    EXPECT_TRUE(error.isNativeValue());
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("Could not save"));
    EXPECT_EQ(error.localizedFailureReason(), std::nullopt);
    EXPECT_EQ(error.recoverySuggestion(), QStringLiteral("Try again."));
    EXPECT_EQ(error.helpAnchor(), QStringLiteral("anchor"));

    const UserInfo &info = error.errorUserInfo();
    EXPECT_EQ(info.value(QStringLiteral("kept")), 1);
    EXPECT_EQ(info.value(ErrorKey::url).toUrl(), QUrl(QStringLiteral("file:///tmp/a%20b")));
    EXPECT_EQ(info.value(ErrorKey::localizedRecoveryOptions).toStringList(),
              QStringList{QStringLiteral("Retry")});
    const auto attempter =
        info.value(ErrorKey::recoveryAttempter).value<std::shared_ptr<ErrorRecoveryAttempter>>();
    ASSERT_TRUE(attempter);
    EXPECT_TRUE(attempter->attemptRecovery(error, 0));
    EXPECT_TRUE(recovered);
    ASSERT_EQ(error.underlyingErrors().size(), 1);
    EXPECT_TRUE(error.underlyingErrors().front().hasDomainAndCode(QStringLiteral("Inner"), 5));

    // Nothing given adds nothing.
    EXPECT_TRUE(GeneralError(QStringLiteral("x")).errorUserInfo().isEmpty());
}

TEST(GeneralErrorTest, LocalizedStringResourceJoinsSentences) {
    EXPECT_EQ(GeneralError(QStringLiteral("  Could not open  \n")).localizedStringResource(),
              QStringLiteral("Could not open"));
    EXPECT_EQ(GeneralError(QStringLiteral("Could not open"), QStringLiteral(" Choose another folder. "))
                  .localizedStringResource(),
              QStringLiteral("Could not open. Choose another folder."));
    EXPECT_EQ(GeneralError(QStringLiteral("Done."), QStringLiteral("Retry")).localizedStringResource(),
              QStringLiteral("Done. Retry."));
}

TEST(ErrorTest, RewritesKitValuesIntoGroupableReports) {
    const UserInfo extra{{QStringLiteral("line"), 12}};
    const Error report = GeneralError(QStringLiteral("Bookmark is stale")).reportable(extra);
    EXPECT_FALSE(report.isNativeValue());
    EXPECT_EQ(report.domain(), QStringLiteral("Kestrova.GeneralError.GeneralError"));
    EXPECT_EQ(report.code(), 9035575089960055123LL);
    EXPECT_EQ(report.userInfo().value(QStringLiteral("codeString")), QStringLiteral("GeneralError"));
    EXPECT_EQ(report.userInfo().value(ErrorKey::localizedDescription), QStringLiteral("Bookmark is stale"));
    EXPECT_EQ(report.userInfo().value(QStringLiteral("line")), 12);

    // A kit value with its own code keeps it; the domain still gains the type.
    const Error hardware = IOKitError(-536870212).reportable({});
    EXPECT_EQ(hardware.domain(), QStringLiteral("IOKitErrorDomain.IOKitError"));
    EXPECT_EQ(hardware.code(), -536870212);

    // Quoted parts are instance data and must not change the code; only the first line counts.
    const Error first = PrintedError(QStringLiteral("badPath“/tmp/a”")).reportable({});
    const Error second = PrintedError(QStringLiteral("badPath“/home/b”\nsecond line")).reportable({});
    EXPECT_EQ(first.code(), 1057348055058071407LL);
    EXPECT_EQ(second.code(), first.code());
    EXPECT_EQ(second.userInfo().value(QStringLiteral("codeString")), QStringLiteral("badPath“/home/b”"));
    EXPECT_EQ(PrintedError(QStringLiteral("  caseName(associated: 1)")).reportable({}).domain(),
              QStringLiteral("Test.PrintedError"));
    EXPECT_EQ(PrintedError(QStringLiteral("caseName\tvalue")).reportable({}).domain(),
              QStringLiteral("Test.PrintedError.caseName"));

    // An empty type text leaves the domain alone and hashes nothing.
    const Error empty = PrintedError(QStringLiteral("(no name)")).reportable({});
    EXPECT_EQ(empty.domain(), QStringLiteral("Test.PrintedError"));
    EXPECT_EQ(empty.code(), -3750763034362895579LL);
    EXPECT_EQ(empty.userInfo().value(QStringLiteral("codeString")), QString());
}

TEST(ErrorTest, PlainErrorsKeepMeaningfulCodes) {
    const Error plain(QString(ErrorDomain::system), 4,
                      {{QStringLiteral("path"), QStringLiteral("/a")}, {QStringLiteral("line"), 1}});
    const Error same = plain.reportable({});
    EXPECT_EQ(same.domain(), plain.domain());
    EXPECT_EQ(same.userInfo(), plain.userInfo());

    const Error enriched =
        plain.reportable({{QStringLiteral("line"), 99}, {QStringLiteral("file"), QStringLiteral("x.cpp")}});
    EXPECT_EQ(enriched.domain(), QString(ErrorDomain::system));
    EXPECT_EQ(enriched.code(), 4);
    EXPECT_EQ(enriched.userInfo().value(QStringLiteral("line")), 99);
    EXPECT_EQ(enriched.userInfo().value(QStringLiteral("path")), QStringLiteral("/a"));
    EXPECT_FALSE(enriched.userInfo().contains(QStringLiteral("codeString")));

    const Error codeOne(QStringLiteral("Some.Domain"), 1,
                        {{QString(ErrorKey::localizedDescription), QStringLiteral("Went wrong")}});
    const Error rewritten = codeOne.reportable({});
    EXPECT_EQ(rewritten.domain(), QStringLiteral("Some.Domain.Error"));
    EXPECT_EQ(rewritten.code(), 6860172195720241041LL);
    EXPECT_EQ(rewritten.userInfo().value(ErrorKey::localizedDescription), QStringLiteral("Went wrong"));
}

TEST(ErrorTest, OddInputFailsSoftly) {
    const QString loneSurrogate = QString(QChar(0xD800)) + QStringLiteral("x");
    const UserInfo odd{{QString(), QVariant()},
                       {QStringLiteral("bytes"), QByteArray("\xff\xfe\x80", 3)},
                       {QStringLiteral("surrogate"), loneSurrogate},
                       {QStringLiteral("nan"), std::numeric_limits<double>::quiet_NaN()},
                       {QString(ErrorKey::localizedDescription), 42}};
    const Error plain(QString(), 1, odd);
    // A description of the wrong kind is ignored rather than misread.
    EXPECT_EQ(plain.localizedDescription(),
              QStringLiteral("The operation couldn’t be completed. ( error 1.)"));
    const Error report = plain.reportable(odd);
    EXPECT_EQ(report.domain(), QStringLiteral(".Error"));
    EXPECT_EQ(report.userInfo().value(QStringLiteral("bytes")).toByteArray(), QByteArray("\xff\xfe\x80", 3));

    const Error strange = PrintedError(loneSurrogate + QStringLiteral("“") + QChar(0xDC00)).reportable({});
    EXPECT_EQ(strange.userInfo().value(QStringLiteral("codeString")).toString(),
              loneSurrogate + QStringLiteral("“") + QChar(0xDC00));
    EXPECT_TRUE(GeneralError(QString()).reportable({}).userInfo().contains(ErrorKey::localizedDescription));
}

TEST(ErrorTest, CancellationTest) {
    EXPECT_TRUE(CancellationError().isCancelled());
    EXPECT_TRUE(Error(QString(ErrorDomain::urlLoading), URLErrorCode::cancelled).isCancelled());
    EXPECT_TRUE(Error(QString(ErrorDomain::system), SystemErrorCode::userCancelled).isCancelled());
    EXPECT_TRUE(Error(QStringLiteral("SKErrorDomain"), 2).isCancelled());
    EXPECT_FALSE(Error(QStringLiteral("SKErrorDomain"), 1).isCancelled());
    EXPECT_FALSE(GeneralError(QStringLiteral("cancelled")).isCancelled());
    // Only the kit's own cancellation value counts, not a plain error that borrows its domain.
    EXPECT_FALSE(Error(CancellationError().domain(), 1).isCancelled());
    const Error copied = CancellationError();
    EXPECT_TRUE(copied.isCancelled());
}

TEST(ErrorTest, RecoveryAttempterRunsOnlyValidOptions) {
    int runs = 0;
    const ErrorRecoveryAttempter attempter({{QStringLiteral("A"), [&] { return ++runs, false; }},
                                            {QStringLiteral("B"), [&] { return ++runs, true; }}});
    const Error error(QStringLiteral("D"), 3);
    EXPECT_FALSE(attempter.attemptRecovery(error, 2));
    EXPECT_FALSE(attempter.attemptRecovery(error, -1));
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(attempter.attemptRecovery(error, 1));
    EXPECT_EQ(runs, 1);

    int context = 0;
    std::optional<std::pair<bool, void *>> told;
    attempter.attemptRecovery(
        error, 0, [&](bool didRecover, void *info) { told = std::make_pair(didRecover, info); }, &context);
    ASSERT_TRUE(told);
    EXPECT_FALSE(told->first);
    EXPECT_EQ(told->second, &context);
    attempter.attemptRecovery(error, 1, {}, nullptr);
    EXPECT_EQ(runs, 3);
}

TEST(ErrorTest, UnexpectedNilErrorNamesItsPosition) {
    const UnexpectedNilError withMessage(QStringLiteral("No window"), QStringLiteral("Menu.cpp"), 42);
    EXPECT_EQ(withMessage.localizedDescription(), QStringLiteral("No window"));
    EXPECT_EQ(withMessage.localizedFailureReason(),
              QStringLiteral("Unexpected nil encountered at Menu.cpp:42"));
    EXPECT_EQ(withMessage.localizedRecoverySuggestion(), std::nullopt);
    EXPECT_EQ(withMessage.domain(), QStringLiteral("Kestrova.UnexpectedNilError"));

    const UnexpectedNilError here;
    const int line = __LINE__ - 1;
    EXPECT_EQ(here.message(), std::nullopt);
    EXPECT_EQ(here.line(), line);
    EXPECT_TRUE(here.file().endsWith(QStringLiteral("ErrorTest.cpp")));
    EXPECT_EQ(here.localizedDescription(), here.localizedFailureReason());
    EXPECT_EQ(here.reportable({}).code(), -4791361004039624143LL);
}
