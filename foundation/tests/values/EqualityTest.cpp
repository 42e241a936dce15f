#include "foundation/values/AggregateHashable.h"
#include "foundation/values/AnyEquatable.h"
#include "foundation/values/ApproximateEquality.h"
#include "foundation/values/GeometryRules.h"
#include "foundation/values/HashableType.h"
#include "foundation/app/KvProcessID.h"
#include "foundation/values/LocationCoordinate.h"
#include "foundation/text/StringTail.h"

#include <gtest/gtest.h>

#include <limits>
#include <unordered_map>
#include <unordered_set>

using namespace kestrova;
using kestrova::platform::Rect;
using kestrova::platform::Size;

TEST(EqualityTest, AnyEquatableIsEqualOnlyWithinOneType) {
    EXPECT_EQ(AnyEquatable("a"), AnyEquatable(QString("a")));
    EXPECT_NE(AnyEquatable("a"), AnyEquatable("b"));
    EXPECT_NE(AnyEquatable(1), AnyEquatable(1.0));
    EXPECT_NE(AnyEquatable(true), AnyEquatable(1));
    EXPECT_EQ(AnyEquatable(1), AnyEquatable(int(1)));
    EXPECT_EQ(AnyEquatable(2.5).value<double>(), 2.5);
    EXPECT_EQ(AnyEquatable(2.5).value<int>(), std::nullopt);
    EXPECT_EQ(AnyEquatable("x").value<QString>(), QString("x"));
}

TEST(EqualityTest, HashableTypeNamesTheVeryType) {
    std::unordered_set<HashableType> types{HashableType::of<int>(), HashableType::of<QString>()};
    EXPECT_TRUE(types.contains(HashableType::of<int>()));
    EXPECT_FALSE(types.contains(HashableType::of<long>()));
    EXPECT_NE(HashableType::of<int>(), HashableType::of<unsigned>());
}

TEST(EqualityTest, AggregateKeysMatchElementByElementInOrder) {
    const AggregateHashable key({"Menu.cpp", "icon", 42, QString("/tmp/a")});
    const AggregateHashable same({QString("Menu.cpp"), QString("icon"), 42, QString("/tmp/a")});
    EXPECT_EQ(key, same);
    EXPECT_EQ(key.cachedHashValue, same.cachedHashValue);
    EXPECT_EQ(std::hash<AggregateHashable>{}(key), key.cachedHashValue);

    EXPECT_NE(AggregateHashable({1, 2}), AggregateHashable({2, 1}));
    EXPECT_NE(AggregateHashable({1}), AggregateHashable({qint64(1)}));
    EXPECT_NE(AggregateHashable({1}), AggregateHashable({1, 1}));
    EXPECT_EQ(AggregateHashable({}), AggregateHashable({}));

    std::unordered_map<AggregateHashable, int> memo;
    memo.emplace(key, 7);
    EXPECT_EQ(memo.at(same), 7);
    EXPECT_FALSE(memo.contains(AggregateHashable({"Menu.cpp", "icon", 43, QString("/tmp/a")})));
}

TEST(EqualityTest, ProcessIdentifiersAndGeometryHashLikeTheirEquality) {
    EXPECT_EQ(KvProcessID{12}, KvProcessID{12});
    EXPECT_EQ(std::hash<KvProcessID>{}(KvProcessID{-1}), std::hash<quint32>{}(0xFFFFFFFFu));

    EXPECT_EQ(Size(0, 0), Size(-0.0, 0));
    EXPECT_EQ(std::hash<Size>{}(Size(0, 0)), std::hash<Size>{}(Size(-0.0, -0.0)));
    EXPECT_NE(std::hash<Size>{}(Size(1, 2)), std::hash<Size>{}(Size(2, 1)));
    EXPECT_EQ(std::hash<Rect>{}(Rect(0, -0.0, 3, 4)), std::hash<Rect>{}(Rect(-0.0, 0, 3, 4)));
    EXPECT_EQ(Size::fromQSizeF(QSizeF(3, 4)), Size(3, 4));
}

TEST(EqualityTest, ApproximateEqualityIsRelativeAndHandlesTheSpecialValues) {
    constexpr double infinity = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(isApproximatelyEqual(1.0, 1.0 + 1e-9, 1e-6));
    EXPECT_FALSE(isApproximatelyEqual(1.0, 1.0 + 1e-5, 1e-6));
    EXPECT_TRUE(isApproximatelyEqual(1e20, 1e20 + 1e12, 1e-6));
    EXPECT_FALSE(isApproximatelyEqual(0.0, 1e-300, 1e-6));
    EXPECT_TRUE(isApproximatelyZero(1e-300, 1e-6));
    EXPECT_FALSE(isApproximatelyZero(-1e-5, 1e-6));
    EXPECT_TRUE(isApproximatelyEqual(infinity, infinity, 1e-6));
    EXPECT_FALSE(isApproximatelyEqual(infinity, -infinity, 1e-6));
    EXPECT_FALSE(isApproximatelyEqual(infinity, 1.0, 1e-6));
    EXPECT_FALSE(isApproximatelyEqual(1.0, -infinity, 1e-6));
    // Only a number near the largest finite magnitude comes close to an infinity.
    EXPECT_TRUE(isApproximatelyEqual(std::numeric_limits<double>::max(), infinity, 1e-6));
    EXPECT_FALSE(isApproximatelyEqual(-std::numeric_limits<double>::max(), infinity, 1e-6));
    EXPECT_FALSE(isApproximatelyEqual(nan, nan, 1e-6));
    EXPECT_FALSE(isApproximatelyEqual(1.0, 1.0, nan));
    EXPECT_TRUE(isApproximatelyEqual(1.0f, 1.0f + 1e-7f, 1e-6f));
}

TEST(EqualityTest, StringTailCountsWholeCharacters) {
    EXPECT_EQ(stringTail("kestrova", 3), "ova");
    // A decomposed é is one character.
    EXPECT_EQ(stringTail(QStringLiteral(u"cafe\u0301"), 1), QStringLiteral(u"e\u0301"));
    const QString family = QStringLiteral(u"a\U0001F469\u200D\U0001F467");
    EXPECT_EQ(stringTail(family, 1), QStringLiteral(u"\U0001F469\u200D\U0001F467"));
    EXPECT_EQ(stringTail("abc", 10), "abc");
    EXPECT_EQ(stringTail("abc", 0), "");
    EXPECT_EQ(stringTail("", 2), "");
    EXPECT_EQ(stringTail("abc", -1), "");
}

TEST(EqualityTest, CoordinatesHaveATextIdentifierAndADistance) {
    const LocationCoordinate berlin{52.52, 13.405};
    const LocationCoordinate paris{48.8566, 2.3522};
    EXPECT_EQ(berlin, (LocationCoordinate{52.52, 13.405}));
    EXPECT_EQ(berlin.identifier(), "52.52-13.405");
    EXPECT_EQ((LocationCoordinate{-33.9, -18.4}).identifier(), "-33.9--18.4");
    EXPECT_EQ((LocationCoordinate{1, 0}).text(), "1.0-0.0");
    EXPECT_EQ((LocationCoordinate{0.00001, 0}).text(), "1e-05-0.0");
    EXPECT_NEAR(berlin.distance(paris), 878'000, 5'000);
    EXPECT_DOUBLE_EQ(berlin.distance(paris), paris.distance(berlin));
    EXPECT_EQ(berlin.distance(berlin), 0);
    const double halfway = (LocationCoordinate{0, 0}).distance(LocationCoordinate{0, 180});
    EXPECT_NEAR(halfway, 20'015'000, 10'000);
}
