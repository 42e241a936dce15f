#include "store/Defaults.h"

#include "platform/testing/InMemorySuite.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>
#include <unordered_set>

using namespace kestrova;
using namespace kestrova::Defaults;
using platform::PropertyListValue;
using platform::UserDefaults;

TEST(DefaultsTest, OptionalKeysAndRegisteredDefaults) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<std::optional<QString>> bare(QStringLiteral("bare"), suite);
    EXPECT_FALSE(suite->dictionaryRepresentation().contains(QStringLiteral("bare")));
    EXPECT_EQ(get(bare), std::nullopt);
    set(bare, std::optional<QString>(QStringLiteral("x")));
    EXPECT_EQ(get(bare), QStringLiteral("x"));
    set(bare, std::optional<QString>());
    EXPECT_FALSE(suite->object(QStringLiteral("bare")));

    // With a present default, writing nothing removes the entry and the registered default shows again.
    const Key<std::optional<int>> withDefault(QStringLiteral("withDefault"), 3, suite);
    set(withDefault, std::optional<int>(9));
    set(withDefault, std::optional<int>());
    EXPECT_EQ(get(withDefault), 3);
    EXPECT_FALSE(suite->persistentDomain().contains(QStringLiteral("withDefault")));

    // Each key object registers again; the last registration wins; reset shows it.
    const Key<int> first(QStringLiteral("count"), 1, suite);
    const Key<int> second(QStringLiteral("count"), 2, suite);
    EXPECT_EQ(suite->object(QStringLiteral("count")), PropertyListValue(2));
    set(first, 7);
    EXPECT_EQ(get(second), 7);
    first.reset();
    EXPECT_EQ(get(first), 2);
}

TEST(DefaultsTest, ReadsFallBackToTheDefaultAndLeaveTheEntryAlone) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<bool> flag(QStringLiteral("flag"), false, suite);
    suite->setObject(PropertyListValue(QStringLiteral("true")), QStringLiteral("flag"));
    EXPECT_TRUE(get(flag));
    suite->setObject(PropertyListValue(QStringLiteral("yes")), QStringLiteral("flag"));
    EXPECT_FALSE(get(flag));
    suite->setObject(PropertyListValue(1), QStringLiteral("flag"));
    EXPECT_FALSE(get(flag)) << "an integer is not a Boolean";

    const Key<std::vector<QString>> list(QStringLiteral("list"), {QStringLiteral("d")}, suite);
    suite->setObject(PropertyListValue(42), QStringLiteral("list"));
    EXPECT_EQ(get(list), std::vector<QString>{QStringLiteral("d")});
    EXPECT_EQ(suite->object(QStringLiteral("list")), PropertyListValue(42));

    const Key<std::int8_t> small(QStringLiteral("small"), 5, suite);
    suite->setObject(PropertyListValue(300), QStringLiteral("small"));
    EXPECT_EQ(get(small), 5) << "a number that does not fit reads as the default";
}

TEST(DefaultsTest, UnsignedCountsBeyondTheSignedRangeReadBackWholeFromTheFile) {
    QTemporaryDir directory;
    const QString file = directory.path() + QStringLiteral("/suite.plist");
    constexpr auto kLargest = std::numeric_limits<std::uint64_t>::max();
    {
        auto suite = std::make_shared<UserDefaults>(file);
        const Key<std::uint64_t> huge(QStringLiteral("huge"), 1, suite);
        const Key<std::vector<std::uint64_t>> list(QStringLiteral("list"), {}, suite);
        set(huge, std::uint64_t(5));
        set(huge, kLargest);
        set(list, {1, kLargest - 1});
    }
    auto reread = std::make_shared<UserDefaults>(file);
    EXPECT_EQ(get(Key<std::uint64_t>(QStringLiteral("huge"), 1, reread)), kLargest);
    EXPECT_EQ(get(Key<std::vector<std::uint64_t>>(QStringLiteral("list"), {}, reread)),
              (std::vector<std::uint64_t>{1, kLargest - 1}));
}

TEST(DefaultsTest, KeysCompareByNameAndSuiteOnly) {
    auto suite = kestrova::testing::makeInMemorySuite();
    auto other = kestrova::testing::makeInMemorySuite();
    const Key<int> number(QStringLiteral("k"), 1, suite);
    const Key<QString> text(QStringLiteral("k"), QStringLiteral("x"), suite);
    const Key<int> elsewhere(QStringLiteral("k"), 1, other);
    EXPECT_TRUE(static_cast<const AnyKey &>(number) == text);
    EXPECT_FALSE(static_cast<const AnyKey &>(number) == elsewhere);
    EXPECT_EQ(std::hash<AnyKey>()(number), std::hash<AnyKey>()(text));
}

TEST(DefaultsTest, AnEditThatThrowsStoresNothing) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<std::vector<int>> list(QStringLiteral("list"), {}, suite);
    set(list, {1, 2});
    EXPECT_THROW(mutate(list,
                        [](std::vector<int> &value) {
                            value.push_back(3);
                            throw std::runtime_error("abandoned");
                        }),
                 std::runtime_error);
    EXPECT_EQ(get(list), (std::vector<int>{1, 2}));
    mutate(list, [](std::vector<int> &value) { value.push_back(3); });
    EXPECT_EQ(get(list), (std::vector<int>{1, 2, 3}));
}

TEST(DefaultsTest, ResetsOfSeveralKeysAndByName) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<int> a(QStringLiteral("a"), 1, suite);
    const Key<QString> b(QStringLiteral("b"), QStringLiteral("b"), suite);
    set(a, 5);
    set(b, QStringLiteral("changed"));
    suite->setObject(PropertyListValue(1), QStringLiteral("c"));
    reset({a, b});
    EXPECT_EQ(get(a), 1);
    EXPECT_EQ(get(b), QStringLiteral("b"));
    reset(QStringList{QStringLiteral("c"), QStringLiteral("missing")}, *suite);
    EXPECT_TRUE(suite->persistentDomain().empty());

    set(a, 2);
    removeAll(*suite);
    EXPECT_TRUE(suite->persistentDomain().empty());
    EXPECT_EQ(get(a), 1) << "registered defaults survive clearing the suite";
}
