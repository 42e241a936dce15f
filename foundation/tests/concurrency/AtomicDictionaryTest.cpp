#include "foundation/concurrency/AtomicDictionary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

using kestrova::AtomicDictionary;
using kestrova::ReadersWriterLock;

TEST(AtomicDictionaryTest, SetMergeAndRemove) {
    AtomicDictionary<QString, int> dictionary;
    dictionary.setValue(QStringLiteral("a"), 0);
    dictionary.setValue(QStringLiteral("b"), 2);
    dictionary.merge(std::map<QString, int>{{QStringLiteral("a"), 1}});
    EXPECT_EQ(dictionary.value(QStringLiteral("a")), 1);
    EXPECT_EQ(dictionary.value(QStringLiteral("b")), 2);

    dictionary.setValue(QStringLiteral("a"), std::nullopt);
    EXPECT_EQ(dictionary.value(QStringLiteral("a")), std::nullopt);
    ASSERT_EQ(dictionary.keyValuePairs().size(), 1u);
    EXPECT_EQ(dictionary.keyValuePairs().front(), std::make_pair(QStringLiteral("b"), 2));
    EXPECT_EQ(dictionary.debugDescription(), QStringLiteral("[\"b\": 2]"));
    EXPECT_EQ(dictionary.lock().label(), QStringLiteral("org.kestrova.Kestrova.AtomicDictionary"));
}

TEST(AtomicDictionaryTest, IterationWalksTheEntriesOfItsStart) {
    AtomicDictionary<int, QString> dictionary;
    dictionary.setValue(1, QStringLiteral("one"));
    dictionary.setValue(2, QStringLiteral("two"));

    auto iterator = dictionary.makeIterator();
    dictionary.setValue(3, QStringLiteral("three"));
    dictionary.setValue(1, std::nullopt);

    std::map<int, QString> seen;
    for (; !(iterator == dictionary.end()); ++iterator)
        seen.insert(*iterator);
    EXPECT_EQ(seen, (std::map<int, QString>{{1, QStringLiteral("one")}, {2, QStringLiteral("two")}}));

    std::map<int, QString> now;
    for (const auto &[key, value] : dictionary)
        now.emplace(key, value);
    EXPECT_EQ(now, (std::map<int, QString>{{2, QStringLiteral("two")}, {3, QStringLiteral("three")}}));
}

TEST(AtomicDictionaryTest, ConcurrentWritersAndReadersLoseNothing) {
    AtomicDictionary<int, int> dictionary;
    constexpr int kWriters = 6;
    constexpr int kKeysPerWriter = 2000;
    std::atomic<bool> writing{true};
    std::atomic<int> readYourWriteFailures{0};
    std::atomic<int> inconsistentSnapshots{0};

    std::vector<std::thread> threads;
    for (int writer = 0; writer < kWriters; ++writer) {
        threads.emplace_back([&, writer] {
            for (int index = 0; index < kKeysPerWriter; ++index) {
                const int key = writer * kKeysPerWriter + index;
                dictionary.setValue(key, key * 2);
                if (dictionary.value(key) != key * 2)
                    ++readYourWriteFailures;
                if (index % 3 == 0) {
                    dictionary.setValue(key, std::nullopt);
                    if (dictionary.value(key).has_value())
                        ++readYourWriteFailures;
                    dictionary.merge(std::map<int, int>{{key, key * 2}});
                }
            }
        });
    }
    std::thread reader([&] {
        while (writing) {
            for (const auto &[key, value] : dictionary) {
                if (value != key * 2)
                    ++inconsistentSnapshots;
            }
        }
    });
    for (auto &thread : threads)
        thread.join();
    writing = false;
    reader.join();

    EXPECT_EQ(readYourWriteFailures, 0);
    EXPECT_EQ(inconsistentSnapshots, 0);
    EXPECT_EQ(dictionary.keyValuePairs().size(), static_cast<std::size_t>(kWriters * kKeysPerWriter));
}

TEST(ReadersWriterLockTest, ReadersShareTheLockAndErrorsPassThrough) {
    ReadersWriterLock lock;
    EXPECT_EQ(lock.label(), QStringLiteral("org.kestrova.Kestrova.readersWriterLock"));
    EXPECT_EQ(ReadersWriterLock(QStringLiteral("custom")).label(), QStringLiteral("custom"));

    // Each reader waits inside its read for the other to come in: only a shared hold lets both finish.
    std::promise<void> firstInside;
    std::promise<void> secondInside;
    auto first = std::async(std::launch::async, [&] {
        return lock.read([&] {
            firstInside.set_value();
            return secondInside.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        });
    });
    auto second = std::async(std::launch::async, [&] {
        return lock.read([&] {
            secondInside.set_value();
            return firstInside.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        });
    });
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());

    EXPECT_THROW(lock.read([]() -> int { throw std::runtime_error("unreadable"); }), std::runtime_error);
    int value = 0;
    lock.write([&] { value = 5; });
    EXPECT_EQ(lock.read([&] { return value; }), 5);
}
