#include "foundation/text/QueryParameters.h"

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

TEST(QueryParametersTest, EncodesEverythingOutsideTheUnreservedSet) {
    EXPECT_EQ(url::percentEncodedQueryText(QStringLiteral("a b&c=d+e/f?")),
              QStringLiteral("a%20b%26c%3Dd%2Be%2Ff%3F"));
    EXPECT_EQ(url::percentEncodedQueryText(QStringLiteral("Az09-._~")), QStringLiteral("Az09-._~"));
    // Cased letters of any script stay; letters without case, other digits and symbols are encoded.
    EXPECT_EQ(url::percentEncodedQueryText(QStringLiteral("éΩǅ")), QStringLiteral("éΩǅ"));
    EXPECT_EQ(url::percentEncodedQueryText(QStringLiteral("日")), QStringLiteral("%E6%97%A5"));
    EXPECT_EQ(url::percentEncodedQueryText(QStringLiteral("٣")), QStringLiteral("%D9%A3"));
    EXPECT_EQ(url::percentEncodedQueryText(QStringLiteral("😀")), QStringLiteral("%F0%9F%98%80"));
    EXPECT_EQ(url::percentEncodedQueryText(QString(QChar(0xD800))), std::nullopt);
}

TEST(QueryParametersTest, BuildsUrlsWithQueries) {
    const auto url = url::withQueryParameters(QStringLiteral("https://example.com/feedback"),
                                              {{QStringLiteral("product"), QStringLiteral("Kestrova")},
                                               {QStringLiteral("metadata"), QStringLiteral("a b&c")},
                                               {QStringLiteral("broken"), QString(QChar(0xDC00))}});
    ASSERT_TRUE(url);
    EXPECT_EQ(url->query(QUrl::FullyEncoded), QStringLiteral("metadata=a%20b%26c&product=Kestrova"));
    EXPECT_EQ(url->host(), QStringLiteral("example.com"));
    EXPECT_FALSE(url::withQueryParameters(QStringLiteral("http://exa mple.com:x/"), {}));
}

} // namespace
