#include "foundation/values/EmailAddress.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace kestrova;

TEST(EmailAddressTest, AcceptsOneWholeAddress) {
    for (const char *text : {"john@example.com", "john.doe+filter@mail.example.co.uk", "a@b.io",
                             "x_y-z@sub-domain.org", "o'neil@example.ie", "user123@123.example.com"}) {
        EXPECT_TRUE(EmailAddress::isValid(text)) << text;
    }
    EXPECT_TRUE(EmailAddress::isValid(QStringLiteral(u"jörg@münchen.de")));
}

TEST(EmailAddressTest, RefusesEverythingThatIsNotExactlyOneAddress) {
    for (const char *text : {"",
                             " ",
                             "john",
                             "john@",
                             "@example.com",
                             "john@example",
                             "john@@example.com",
                             "mailto:john@example.com",
                             "john@example.com more",
                             "two words@example.com",
                             "john..doe@example.com",
                             ".john@example.com",
                             "john.@example.com",
                             "john@-example.com",
                             "john@example-.com",
                             "john@example.c",
                             "john@example.123",
                             "john@exa_mple.com",
                             "<john@example.com>",
                             "john@example.com,",
                             "john@example..com"}) {
        EXPECT_FALSE(EmailAddress::isValid(text)) << text;
    }
    const QString longLocalPart = QString(65, 'a') + "@example.com";
    EXPECT_FALSE(EmailAddress::isValid(longLocalPart));
    EXPECT_TRUE(EmailAddress::isValid(QString(64, 'a') + "@example.com"));
    EXPECT_FALSE(EmailAddress::isValid("a@" + QString(250, 'b') + ".com"));
    EXPECT_FALSE(EmailAddress::isValid(QString(100'000, '@')));
}

TEST(EmailAddressTest, RunTimeTextIsTrimmedAndFailsSoftly) {
    const auto address = EmailAddress::fromRawValue("  john@example.com\n");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->rawValue(), "john@example.com");
    EXPECT_EQ(address->id(), "john@example.com");
    EXPECT_EQ(EmailAddress::fromRawValue("john@example.com more"), std::nullopt);
    EXPECT_EQ(EmailAddress::fromRawValue("mailto:john@example.com"), std::nullopt);
    EXPECT_EQ(EmailAddress::fromRawValue(" \t\n"), std::nullopt);

    EXPECT_EQ(*address, *EmailAddress::fromRawValue("john@example.com"));
    std::unordered_set<EmailAddress> set{*address};
    EXPECT_TRUE(set.contains(*EmailAddress::fromRawValue("john@example.com ")));
}

TEST(EmailAddressTest, StoredFormIsKeptExactly) {
    const nlohmann::json stored = *EmailAddress::fromRawValue("john@example.com");
    EXPECT_EQ(stored.dump(), R"("john@example.com")");
    const auto decoded = nlohmann::json::parse(R"(" not an address ")").get<EmailAddress>();
    EXPECT_EQ(decoded.rawValue(), " not an address ");
}

TEST(EmailAddressTest, ProgramTextMustBeValid) {
    EXPECT_EQ(EmailAddress::fromStringLiteral("help@example.com").rawValue(), "help@example.com");
    EXPECT_TRUE(EmailAddress::isValid(EmailAddress::support().rawValue()));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(EmailAddress::fromStringLiteral(" not valid"), "Invalid email address:  not valid");
}
