#include "platform/NotificationCenter.h"
#include "platform/PropertyListSerialization.h"
#include "platform/UserDefaults.h"
#include "platform/testing/EventLoop.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace kestrova::platform;

namespace {

// Records every change it is told of, and can run a step inside the notification.
class RecordingObserver : public KeyValueObserver {
public:
    struct Record {
        QString key;
        KeyValueChange change;
    };
    std::vector<Record> records;
    std::function<void(UserDefaults *)> duringNotification;

    void observeValue(const QString &keyPath, UserDefaults *object, const KeyValueChange &change,
                      const void *) override {
        records.push_back({keyPath, change});
        if (duringNotification)
            duringNotification(object);
    }
};

class UserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir directory;
    QString path() const { return directory.path() + QStringLiteral("/suite.plist"); }
    QByteArray fileBytes(const QString &file) const {
        QFile reader(file);
        return reader.open(QIODevice::ReadOnly) ? reader.readAll() : QByteArray();
    }
    void writeFile(const QByteArray &bytes) const {
        QFile writer(path());
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
        writer.write(bytes);
    }
};

} // namespace

TEST_F(UserDefaultsTest, EveryValueKindSurvivesAReload) {
    const PropertyListValue::Dictionary nested{
        {QStringLiteral("list"),
         PropertyListValue::Array{PropertyListValue(QStringLiteral("a")), PropertyListValue(2)}},
        {QStringLiteral("map"), PropertyListValue::Dictionary{{QStringLiteral("x/y:z"), QByteArray("b")}}}};
    const std::vector<std::pair<QString, PropertyListValue>> values{
        {QStringLiteral("flag"), false},
        {QStringLiteral("count"), std::int64_t(-1234567890123)},
        {QStringLiteral("ratio"), 2.5},
        {QStringLiteral("title"), QStringLiteral("Fotos 📷 – ü")},
        {QStringLiteral("bytes"), QByteArray("\0\1\2", 3)},
        {QStringLiteral("when"), Date(700000000)},
        {QStringLiteral("tree"), nested},
    };
    {
        UserDefaults writer(path());
        for (const auto &[name, value] : values)
            writer.setObject(value, name);
    }
    UserDefaults reader(path());
    for (const auto &[name, value] : values)
        EXPECT_EQ(reader.object(name), value) << name.toStdString();
    EXPECT_EQ(reader.object(QStringLiteral("flag"))->kind(), PropertyListValue::Kind::boolean);

    reader.setObject(std::nullopt, QStringLiteral("flag"));
    EXPECT_FALSE(reader.object(QStringLiteral("flag")));
    reader.removeObject(QStringLiteral("count"));
    EXPECT_FALSE(UserDefaults(path()).object(QStringLiteral("count")));
    EXPECT_TRUE(UserDefaults(path()).object(QStringLiteral("ratio")));
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAnswerReadsButNeverReachDisk) {
    UserDefaults suite(path());
    suite.registerDefaults({{QStringLiteral("shown"), true}, {QStringLiteral("limit"), 5}});
    suite.registerDefaults({{QStringLiteral("limit"), 7}});
    suite.setObject(PropertyListValue(QStringLiteral("v")), QStringLiteral("written"));

    EXPECT_EQ(suite.object(QStringLiteral("limit")), PropertyListValue(7));
    EXPECT_FALSE(suite.persistentDomain().contains(QStringLiteral("shown")));
    EXPECT_TRUE(suite.dictionaryRepresentation().contains(QStringLiteral("shown")));
    EXPECT_FALSE(fileBytes(path()).contains("shown"));
    EXPECT_FALSE(UserDefaults(path()).object(QStringLiteral("limit")));

    // A written value hides the default; removing it shows the default again.
    suite.setObject(PropertyListValue(1), QStringLiteral("limit"));
    EXPECT_EQ(suite.object(QStringLiteral("limit")), PropertyListValue(1));
    suite.removeObject(QStringLiteral("limit"));
    EXPECT_EQ(suite.object(QStringLiteral("limit")), PropertyListValue(7));

    // Clearing removes what was written and leaves registered names as they are.
    suite.setObject(PropertyListValue(false), QStringLiteral("shown"));
    suite.removeAll();
    EXPECT_TRUE(suite.persistentDomain().empty());
    EXPECT_EQ(suite.object(QStringLiteral("shown")), PropertyListValue(true));
    EXPECT_TRUE(UserDefaults(path()).persistentDomain().empty());
}

TEST_F(UserDefaultsTest, TextForANameGivesTextAndNumbersOnly) {
    UserDefaults suite(QString{});
    suite.setObject(PropertyListValue(QStringLiteral("true")), QStringLiteral("text"));
    suite.setObject(PropertyListValue(false), QStringLiteral("flag"));
    suite.setObject(PropertyListValue(-42), QStringLiteral("integer"));
    suite.setObject(PropertyListValue(1.5), QStringLiteral("real"));
    suite.setObject(PropertyListValue(QByteArray("x")), QStringLiteral("data"));
    suite.setObject(PropertyListValue(PropertyListValue::Array{}), QStringLiteral("array"));

    EXPECT_EQ(suite.string(QStringLiteral("text")), QStringLiteral("true"));
    EXPECT_EQ(suite.string(QStringLiteral("flag")), QStringLiteral("0"));
    EXPECT_EQ(suite.string(QStringLiteral("integer")), QStringLiteral("-42"));
    EXPECT_EQ(suite.string(QStringLiteral("real")), QStringLiteral("1.5"));
    EXPECT_FALSE(suite.string(QStringLiteral("data")));
    EXPECT_FALSE(suite.string(QStringLiteral("array")));
    EXPECT_FALSE(suite.string(QStringLiteral("missing")));
}

TEST_F(UserDefaultsTest, DamagedFileIsKeptAsideAndNeverOverwritten) {
    const QString aside = path() + QStringLiteral(".corrupt");
    for (const QByteArray &damaged : {QByteArray("<?xml version=\"1.0\"?><plist><dict><key>half"),
                                      PropertyListSerialization::toXml(PropertyListValue(
                                          PropertyListValue::Array{PropertyListValue(1)}))}) {
        writeFile(damaged);
        testing::internal::CaptureStderr();
        UserDefaults suite(path());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(aside.toStdString()), std::string::npos) << said;
        EXPECT_TRUE(suite.persistentDomain().empty());
        // Only the newest damaged file is kept.
        EXPECT_EQ(fileBytes(aside), damaged);
        suite.setObject(PropertyListValue(1), QStringLiteral("fresh"));
        EXPECT_EQ(UserDefaults(path()).object(QStringLiteral("fresh")), PropertyListValue(1));
        EXPECT_EQ(fileBytes(aside), damaged);
    }

    // Something unreadable in the file's place (here a folder) is moved aside as well.
    QFile::remove(path());
    ASSERT_TRUE(QDir().mkpath(path()));
    testing::internal::CaptureStderr();
    UserDefaults suite(path());
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(QFileInfo(aside).isDir());
    suite.setObject(PropertyListValue(2), QStringLiteral("fresh"));
    EXPECT_EQ(UserDefaults(path()).object(QStringLiteral("fresh")), PropertyListValue(2));

    // An empty file (a crash before anything was written) is simply empty, not damage.
    writeFile(QByteArray());
    testing::internal::CaptureStderr();
    UserDefaults empty(path());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(empty.persistentDomain().empty());
}

TEST_F(UserDefaultsTest, TwoSuitesOnOneFileLoseNoWrites) {
    UserDefaults first(path());
    UserDefaults second(path());
    first.setObject(PropertyListValue(1), QStringLiteral("a"));
    second.setObject(PropertyListValue(2), QStringLiteral("b"));
    first.setObject(PropertyListValue(3), QStringLiteral("c"));
    second.removeObject(QStringLiteral("a"));

    const auto onDisk = UserDefaults(path()).persistentDomain();
    EXPECT_EQ(onDisk, (PropertyListValue::Dictionary{{QStringLiteral("b"), 2}, {QStringLiteral("c"), 3}}));
    // A writer adopts what the other one wrote before it, and synchronize() catches up with the rest.
    EXPECT_EQ(first.object(QStringLiteral("b")), PropertyListValue(2));
    EXPECT_TRUE(first.synchronize());
    EXPECT_FALSE(first.object(QStringLiteral("a")));

    // Many writers at once, each through its own suite object, as two processes would be.
    constexpr int kPerThread = 25;
    auto writeMany = [&](const QString &prefix) {
        UserDefaults suite(path());
        for (int index = 0; index < kPerThread; ++index)
            suite.setObject(PropertyListValue(index), prefix + QString::number(index));
    };
    std::thread left(writeMany, QStringLiteral("left"));
    std::thread right(writeMany, QStringLiteral("right"));
    left.join();
    right.join();
    EXPECT_EQ(UserDefaults(path()).persistentDomain().size(), std::size_t(2 + 2 * kPerThread));
    EXPECT_FALSE(QFile::exists(path() + QStringLiteral(".lock")));
}

TEST_F(UserDefaultsTest, ChangesByAnotherWriterAreNoticedAndNotified) {
    UserDefaults watched(path());
    watched.setObject(PropertyListValue(QStringLiteral("old")), QStringLiteral("k"));
    RecordingObserver observer;
    watched.addObserver(&observer, QStringLiteral("k"), UserDefaults::observeOld | UserDefaults::observeNew,
                        nullptr);

    UserDefaults other(path());
    other.setObject(PropertyListValue(QStringLiteral("new")), QStringLiteral("k"));
    other.setObject(PropertyListValue(1), QStringLiteral("unobserved"));

    ASSERT_TRUE(kestrova::testing::processEventsUntil(
        [&] { return !observer.records.empty() && watched.object(QStringLiteral("unobserved")); }));
    EXPECT_EQ(observer.records[0].change.oldValue, PropertyListValue(QStringLiteral("old")));
    EXPECT_EQ(observer.records[0].change.newValue, PropertyListValue(QStringLiteral("new")));
    EXPECT_EQ(watched.object(QStringLiteral("unobserved")), PropertyListValue(1));

    // synchronize() picks a change up at once; a change already seen is not announced twice.
    other.removeObject(QStringLiteral("k"));
    EXPECT_TRUE(watched.synchronize());
    EXPECT_FALSE(watched.object(QStringLiteral("k")));
    QCoreApplication::processEvents();
    ASSERT_EQ(observer.records.size(), 2u);
    EXPECT_FALSE(observer.records[1].change.newValue);
    watched.removeObserver(&observer, QStringLiteral("k"), nullptr);
}

TEST_F(UserDefaultsTest, NotificationsCarryEffectiveValuesInOrder) {
    UserDefaults suite(path());
    suite.registerDefaults({{QStringLiteral("k"), QStringLiteral("default")}});
    std::vector<QString> order;
    RecordingObserver observer;
    observer.duringNotification = [&](UserDefaults *object) {
        // Observers run outside the suite's lock, so reading the suite here must work.
        order.push_back(QStringLiteral("key:") + object->object(QStringLiteral("k"))->debugDescription());
    };
    const int marker = 0;
    suite.addObserver(&observer, QStringLiteral("k"),
                      UserDefaults::observeOld | UserDefaults::observeNew | UserDefaults::observeInitial,
                      &marker);
    ASSERT_EQ(observer.records.size(), 1u);
    EXPECT_EQ(observer.records[0].change.newValue, PropertyListValue(QStringLiteral("default")));
    EXPECT_FALSE(observer.records[0].change.oldValue);

    const auto didChange = NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(UserDefaults::kDidChangeNotification), &suite,
        [&](const Notification &) { order.push_back(QStringLiteral("didChange")); });
    suite.setObject(PropertyListValue(QStringLiteral("a")), QStringLiteral("k"));
    suite.setObject(PropertyListValue(QStringLiteral("a")), QStringLiteral("k"));
    suite.removeObject(QStringLiteral("k"));
    suite.setObject(PropertyListValue(1), QStringLiteral("other"));
    NotificationCenter::defaultCenter().removeObserver(didChange);

    ASSERT_EQ(observer.records.size(), 4u);
    EXPECT_EQ(observer.records[1].change.oldValue, PropertyListValue(QStringLiteral("default")));
    EXPECT_EQ(observer.records[1].change.newValue, PropertyListValue(QStringLiteral("a")));
    // An equal value still notifies.
    EXPECT_EQ(observer.records[2].change.oldValue, PropertyListValue(QStringLiteral("a")));
    EXPECT_EQ(observer.records[2].change.newValue, PropertyListValue(QStringLiteral("a")));
    // A removal reports the registered default as the new value.
    EXPECT_EQ(observer.records[3].change.newValue, PropertyListValue(QStringLiteral("default")));
    const std::vector<QString> expected{QStringLiteral("key:\"default\""), QStringLiteral("key:\"a\""),
                                        QStringLiteral("didChange"),       QStringLiteral("key:\"a\""),
                                        QStringLiteral("didChange"),       QStringLiteral("key:\"default\""),
                                        QStringLiteral("didChange"),       QStringLiteral("didChange")};
    EXPECT_EQ(order, expected);
    for (const auto &record : observer.records)
        EXPECT_EQ(record.change.kind, KeyValueChange::Kind::setting);
    suite.removeObserver(&observer, QStringLiteral("k"), &marker);
}

TEST_F(UserDefaultsTest, PriorRecordsAndRemovalFromInsideANotification) {
    UserDefaults suite(QString{});
    RecordingObserver prior;
    suite.addObserver(&prior, QStringLiteral("k"),
                      UserDefaults::observeOld | UserDefaults::observeNew | UserDefaults::observePrior,
                      nullptr);
    suite.setObject(PropertyListValue(1), QStringLiteral("k"));
    suite.setObject(PropertyListValue(2), QStringLiteral("k"));
    ASSERT_EQ(prior.records.size(), 4u);
    EXPECT_TRUE(prior.records[2].change.isPrior);
    EXPECT_EQ(prior.records[2].change.oldValue, PropertyListValue(1));
    EXPECT_FALSE(prior.records[2].change.newValue);
    EXPECT_FALSE(prior.records[3].change.isPrior);
    EXPECT_EQ(prior.records[3].change.newValue, PropertyListValue(2));
    suite.removeObserver(&prior, QStringLiteral("k"), nullptr);

    RecordingObserver once;
    once.duringNotification = [&](UserDefaults *object) {
        object->removeObserver(&once, QStringLiteral("k"), nullptr);
    };
    RecordingObserver newOnly;
    suite.addObserver(&once, QStringLiteral("k"), UserDefaults::observeNew, nullptr);
    suite.addObserver(&newOnly, QStringLiteral("k"), UserDefaults::observeNew, nullptr);
    suite.setObject(PropertyListValue(3), QStringLiteral("k"));
    suite.setObject(PropertyListValue(4), QStringLiteral("k"));
    EXPECT_EQ(once.records.size(), 1u);
    ASSERT_EQ(newOnly.records.size(), 2u);
    EXPECT_FALSE(newOnly.records[0].change.oldValue);
    suite.removeObserver(&newOnly, QStringLiteral("k"), nullptr);
    suite.setObject(PropertyListValue(5), QStringLiteral("k"));
    EXPECT_EQ(newOnly.records.size(), 2u);
}

TEST_F(UserDefaultsTest, ConcurrentReadersAndWritersSeeWholeValues) {
    UserDefaults suite(path());
    std::atomic<int> notified{0};
    struct Counter : KeyValueObserver {
        std::atomic<int> *count;
        void observeValue(const QString &, UserDefaults *, const KeyValueChange &, const void *) override {
            ++*count;
        }
    } counter;
    counter.count = &notified;
    suite.addObserver(&counter, QStringLiteral("shared"), UserDefaults::observeNew, nullptr);
    constexpr int kWrites = 40;
    std::atomic<bool> torn{false};
    std::thread writer([&] {
        for (int index = 0; index < kWrites; ++index)
            suite.setObject(PropertyListValue(PropertyListValue::Array(3, PropertyListValue(index))),
                            QStringLiteral("shared"));
    });
    std::thread reader([&] {
        for (int index = 0; index < 2000; ++index) {
            const auto value = suite.object(QStringLiteral("shared"));
            if (!value)
                continue;
            const auto &array = *value->getIf<PropertyListValue::Array>();
            if (array.size() != 3 || array[0] != array[2])
                torn = true;
        }
    });
    writer.join();
    reader.join();
    suite.removeObserver(&counter, QStringLiteral("shared"), nullptr);
    EXPECT_FALSE(torn);
    EXPECT_EQ(notified, kWrites);
}

TEST(UserDefaultsLocationTest, StandardSuiteLivesInTheConfigFolder) {
    const QString expected =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/kestrova/org.kestrova.Kestrova.plist");
    EXPECT_EQ(UserDefaults::standard()->filePath(), expected);
    EXPECT_EQ(UserDefaults::suite(QStringLiteral("org.kestrova.Kestrova")), UserDefaults::standard());
    EXPECT_EQ(UserDefaults::suite(QStringLiteral("other")), UserDefaults::suite(QStringLiteral("other")));
    EXPECT_FALSE(UserDefaults::suite(QStringLiteral("../escape")));
    EXPECT_FALSE(UserDefaults::suite(QString()));
}

TEST_F(UserDefaultsTest, AnEmptyLockLeftByAKilledWriterIsTakenOver) {
    // What a writer killed between creating the lock and naming itself in it leaves: an empty lock file, a
    // few seconds old (well inside QLockFile's own 30 s stale time).
    const QString lock = path() + QStringLiteral(".lock");
    {
        QFile leftOver(lock);
        ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
        ASSERT_TRUE(leftOver.setFileTime(QDateTime::currentDateTime().addSecs(-5),
                                         QFileDevice::FileModificationTime));
    }
    UserDefaults suite(path());
    suite.setObject(PropertyListValue(1), QStringLiteral("first"));
    EXPECT_FALSE(QFile::exists(lock)) << "the write took the lock over instead of going ahead without it";
    EXPECT_EQ(UserDefaults(path()).object(QStringLiteral("first")), PropertyListValue(1));
}
