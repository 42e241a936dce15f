#include "foundation/time/DispatchTimeInterval.h"
#include "foundation/values/GeometryRules.h"
#include "foundation/collections/SortDescriptor.h"
#include "foundation/collections/Sorting.h"

#include <QString>

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using namespace kestrova;
using kestrova::platform::Size;

namespace {

struct Entry {
    QString name;
    int date;
    bool isFolder = false;

    friend bool operator==(const Entry &, const Entry &) = default;
};

std::vector<int> dates(const std::vector<Entry> &entries) {
    std::vector<int> result;
    for (const Entry &entry : entries)
        result.push_back(entry.date);
    return result;
}

} // namespace

TEST(SortingTest, DescriptorsDecideInListOrder) {
    const std::vector<Entry> entries{{"b", 1}, {"a", 2}, {"b", 3}, {"a", 4}};
    const auto sorted = sortedByDescriptors(entries, {SortDescriptor<Entry>::ascending(&Entry::name),
                                                      SortDescriptor<Entry>::descending(&Entry::date)});
    EXPECT_EQ(dates(sorted), (std::vector<int>{4, 2, 3, 1}));

    const auto unsorted = sortedByDescriptors(entries, {});
    EXPECT_EQ(unsorted.size(), entries.size());
    EXPECT_EQ(SortDescriptor<Entry>::ascending(&Entry::date).compare({"x", 1}, {"y", 1}),
              ComparisonResult::orderedSame);
    EXPECT_EQ(SortDescriptor<Entry>::descending(&Entry::date).compare({"x", 1}, {"y", 2}),
              ComparisonResult::orderedDescending);
}

TEST(SortingTest, KeysSortInEitherOrderOrByAComparison) {
    const std::vector<Entry> entries{{"c", 3}, {"a", 1}, {"b", 2}};
    EXPECT_EQ(dates(sortedByKey(entries, &Entry::date)), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(dates(sortedByKey(entries, &Entry::name, SortOrder::descending)), (std::vector<int>{3, 2, 1}));
    const auto byLastDigit = sortedByKey(
        std::vector<int>{13, 21, 32}, [](int value) { return value % 10; }, std::greater<>());
    EXPECT_EQ(byLastDigit, (std::vector<int>{13, 32, 21}));
}

TEST(SortingTest, AFailingKeyStopsTheSortAndLeavesTheListAlone) {
    std::vector<int> values{3, 1, 2, -1, 5};
    const std::vector<int> before = values;
    const auto checkedKey = [](int value) {
        if (value < 0)
            throw std::invalid_argument("negative");
        return value;
    };
    EXPECT_THROW(sortByKey(values, checkedKey, SortOrder::ascending), std::invalid_argument);
    EXPECT_EQ(values, before);
    EXPECT_THROW((void)sortedByKey(values, checkedKey, std::less<>()), std::invalid_argument);
}

TEST(SortingTest, PredicatePutsPassingElementsFirstOrLast) {
    const std::vector<Entry> entries{{"a", 1, false}, {"b", 2, true}, {"c", 3, false}, {"d", 4, true}};
    const auto foldersFirst = sortedByPredicate(entries, &Entry::isFolder);
    EXPECT_TRUE(foldersFirst[0].isFolder && foldersFirst[1].isFolder);
    EXPECT_FALSE(foldersFirst[2].isFolder || foldersFirst[3].isFolder);
    const auto foldersLast = sortedByPredicate(entries, &Entry::isFolder, SortOrder::descending);
    EXPECT_FALSE(foldersLast[0].isFolder || foldersLast[1].isFolder);
    EXPECT_TRUE(foldersLast[2].isFolder && foldersLast[3].isFolder);
}

TEST(SortingTest, KeysThatDoNotOrderStrictlyNeverFault) {
    std::vector<double> values;
    for (int index = 0; index < 500; ++index)
        values.push_back(index % 7 == 0 ? std::numeric_limits<double>::quiet_NaN()
                                        : double((index * 37) % 101));
    const auto identity = [](double value) { return value; };
    sortByKey(values, identity, SortOrder::ascending);
    EXPECT_EQ(values.size(), 500u);
    // A comparison that holds both ways is no ordering at all; the merge sort still stays in bounds.
    std::vector<int> numbers(300, 1);
    sortByKey(
        numbers, [](int value) { return value; }, [](int, int) { return true; });
    EXPECT_EQ(numbers, std::vector<int>(300, 1));
}

TEST(SortingTest, DispatchIntervalsOrderWithNeverLast) {
    using Interval = DispatchTimeInterval;
    EXPECT_EQ(Interval::seconds(2).toNanoseconds(), 2'000'000'000);
    EXPECT_EQ(Interval::microseconds(3).toNanoseconds(), 3'000);
    EXPECT_EQ(Interval::never().toNanoseconds(), 0);
    EXPECT_FALSE(Interval::never() < Interval::seconds(1));
    EXPECT_TRUE(Interval::seconds(1) < Interval::never());
    EXPECT_TRUE(Interval::never() <= Interval::never());
    EXPECT_FALSE(Interval::never() < Interval::never());
    EXPECT_TRUE(Interval::never() > Interval::seconds(1));
    EXPECT_FALSE(Interval::never() <= Interval::seconds(1));

    const Interval millisecond = Interval::milliseconds(1);
    const Interval nanoseconds = Interval::nanoseconds(1'000'000);
    EXPECT_FALSE(millisecond < nanoseconds || nanoseconds < millisecond);
    EXPECT_TRUE(millisecond <= nanoseconds && millisecond >= nanoseconds);
    EXPECT_TRUE(Interval::milliseconds(999) < Interval::seconds(1));

    // Beyond 64 bits the length clamps rather than wrapping to a small or negative number.
    EXPECT_EQ(Interval::seconds(std::numeric_limits<qint64>::max()).toNanoseconds(),
              std::numeric_limits<qint64>::max());
    EXPECT_EQ(Interval::seconds(std::numeric_limits<qint64>::min() / 10).toNanoseconds(),
              std::numeric_limits<qint64>::min());
    EXPECT_TRUE(Interval::seconds(-10'000'000'000) < Interval::seconds(1));
}

TEST(SortingTest, SizesAreSmallerOnlyInBothDimensions) {
    EXPECT_TRUE(Size(1, 2) < Size(3, 4));
    EXPECT_TRUE(Size(3, 4) > Size(1, 2));
    EXPECT_FALSE(Size(10, 20) < Size(15, 5));
    EXPECT_FALSE(Size(15, 5) < Size(10, 20));
    EXPECT_FALSE(Size(10, 20) > Size(15, 5));
    EXPECT_TRUE(Size(10, 20) <= Size(15, 5) && Size(10, 20) >= Size(15, 5));
    EXPECT_FALSE(Size(3, 4) <= Size(1, 2));
    EXPECT_FALSE(Size(1, 4) < Size(1, 5));
}
