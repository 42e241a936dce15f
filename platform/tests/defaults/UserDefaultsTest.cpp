#include "platform/observation/NotificationCenter.h"
#include "platform/defaults/PropertyListSerialization.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/ScriptedPresenters.h"
#include "platform/testing/TemporaryMount.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
    // Alerts about the file come on a later turn; those still queued go to this test's presenter.
    void TearDown() override { QCoreApplication::processEvents(); }

    kestrova::testing::ScopedScriptedPresenters presenters;
    QTemporaryDir directory;
    QString path() const { return directory.path() + QStringLiteral("/suite.plist"); }
    QByteArray fileBytes(const QString &file) const {
        QFile reader(file);
        return reader.open(QIODevice::ReadOnly) ? reader.readAll() : QByteArray();
    }
    void writeFile(const QByteArray &bytes) const { writeFileAt(path(), bytes); }
    QStringList keptAside() const { return UserDefaults::keptAsideFiles(path()); }
    QString newestAside() const { return keptAside().value(keptAside().size() - 1); }
    static void writeFileAt(const QString &file, const QByteArray &bytes) {
        QFile writer(file);
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
        writer.write(bytes);
    }
    // What is on disk now, read without a suite (a suite would itself set a damaged file aside).
    PropertyListValue::Dictionary onDisk(const QString &file) const {
        const auto root = PropertyListSerialization::fromXml(fileBytes(file));
        EXPECT_TRUE(root && root->is<PropertyListValue::Dictionary>())
            << fileBytes(file).left(200).toStdString();
        return root ? root->getIf<PropertyListValue::Dictionary>()
                          ? *root->getIf<PropertyListValue::Dictionary>()
                          : PropertyListValue::Dictionary{}
                    : PropertyListValue::Dictionary{};
    }
    // The alerts shown once the queued ones had their turn.
    std::size_t alertsShown() {
        kestrova::testing::processEventsUntil([&] { return !presenters.alerts().shownAlerts().empty(); });
        QCoreApplication::processEvents();
        return presenters.alerts().shownAlerts().size();
    }
};

QByteArray plistText(const QByteArray &body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

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
    const std::vector<QByteArray> damagedFiles{
        QByteArray("<?xml version=\"1.0\"?><plist><dict><key>half"),
        PropertyListSerialization::toXml(PropertyListValue(PropertyListValue::Array{PropertyListValue(1)}))};
    for (const QByteArray &damaged : damagedFiles) {
        writeFile(damaged);
        testing::internal::CaptureStderr();
        UserDefaults suite(path());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(newestAside().toStdString()), std::string::npos) << said;
        EXPECT_TRUE(suite.persistentDomain().empty());
        EXPECT_EQ(fileBytes(newestAside()), damaged);
        suite.setObject(PropertyListValue(1), QStringLiteral("fresh"));
        EXPECT_EQ(UserDefaults(path()).object(QStringLiteral("fresh")), PropertyListValue(1));
        EXPECT_EQ(fileBytes(newestAside()), damaged);
    }
    // The second damaged file went beside the first, not over it.
    ASSERT_EQ(keptAside().size(), 2);
    EXPECT_EQ(fileBytes(keptAside()[0]), damagedFiles[0]);
    EXPECT_EQ(fileBytes(keptAside()[1]), damagedFiles[1]);

    // Something unreadable in the file's place (here a folder) is moved aside as well.
    QFile::remove(path());
    ASSERT_TRUE(QDir().mkpath(path()));
    testing::internal::CaptureStderr();
    UserDefaults suite(path());
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(QFileInfo(newestAside()).isDir());
    EXPECT_EQ(keptAside().size(), 3);
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

TEST_F(UserDefaultsTest, AFileDamagedWhileRunningKeepsTheGoodSettings) {
    const PropertyListValue folders(PropertyListValue::Array{PropertyListValue(QStringLiteral("{\"a\":1}")),
                                                             PropertyListValue(QStringLiteral("{\"b\":2}"))});
    UserDefaults suite(path());
    suite.setObject(folders, QStringLiteral("folders"));

    testing::internal::CaptureStderr();
    // An editor saves half a file: the watcher keeps it aside and writes the good settings back.
    const QByteArray half = fileBytes(path()).left(70);
    writeFile(half);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return fileBytes(newestAside()) == half; }));
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return QFile::exists(path()); }));
    EXPECT_EQ(onDisk(path()).at(QStringLiteral("folders")), folders);
    EXPECT_EQ(suite.object(QStringLiteral("folders")), folders);

    // Damage met by the next write: the change goes onto the good settings, and both reach the disk.
    const QByteArray other = plistText("<dict><key>folders</key><array><string>");
    writeFile(other);
    suite.setObject(PropertyListValue(3), QStringLiteral("launches"));
    ASSERT_EQ(keptAside().size(), 2);
    EXPECT_EQ(fileBytes(keptAside()[0]), half);
    EXPECT_EQ(fileBytes(keptAside()[1]), other);
    EXPECT_EQ(onDisk(path()), (PropertyListValue::Dictionary{{QStringLiteral("folders"), folders},
                                                             {QStringLiteral("launches"), 3}}));
    // Emptied in place (a program caught between truncating and writing): nothing is adopted from it.
    writeFile(QByteArray());
    EXPECT_TRUE(suite.synchronize());
    EXPECT_EQ(onDisk(path()).at(QStringLiteral("folders")), folders);
    testing::internal::GetCapturedStderr();
    // Each damaged file is told of once, with where it was kept.
    ASSERT_EQ(alertsShown(), 2u);
    for (std::size_t index = 0; index < 2; ++index) {
        EXPECT_EQ(presenters.alerts().shownAlerts()[index].messageText,
                  QStringLiteral("Kestrova could not read its settings"));
        EXPECT_TRUE(
            presenters.alerts().shownAlerts()[index].informativeText.contains(keptAside()[int(index)]));
    }
}

TEST_F(UserDefaultsTest, ChangesTheDiskRefusesStayAndAreWrittenLater) {
    const QString folder = directory.path() + QStringLiteral("/small");
    ASSERT_TRUE(QDir().mkpath(folder));
    kestrova::testing::TemporaryMount disk(folder, "size=64k");
    if (!disk.isMounted())
        GTEST_SKIP() << kestrova::testing::TemporaryMount::kSkipMessage;
    const QString file = folder + QStringLiteral("/suite.plist");
    UserDefaults suite(file);
    suite.setObject(PropertyListValue(1), QStringLiteral("a"));

    const QByteArray fillerPath = QFile::encodeName(folder + QStringLiteral("/filler"));
    const int filler = ::open(fillerPath.constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(filler, 0);
    const QByteArray block(4096, 'x');
    while (::write(filler, block.constData(), std::size_t(block.size())) == block.size()) {
    }
    ::close(filler);

    testing::internal::CaptureStderr();
    suite.setObject(PropertyListValue(2), QStringLiteral("b"));
    suite.setObject(PropertyListValue(3), QStringLiteral("c"));
    suite.removeObject(QStringLiteral("a"));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("could not be saved"), std::string::npos) << said;
    // Nothing reverts while the disk is full, and nothing claims to be saved.
    EXPECT_EQ(suite.object(QStringLiteral("b")), PropertyListValue(2));
    EXPECT_EQ(suite.object(QStringLiteral("c")), PropertyListValue(3));
    EXPECT_FALSE(suite.object(QStringLiteral("a")));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(suite.synchronize());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(onDisk(file), (PropertyListValue::Dictionary{{QStringLiteral("a"), 1}}));

    ASSERT_EQ(::unlink(fillerPath.constData()), 0);
    EXPECT_TRUE(suite.synchronize());
    EXPECT_EQ(onDisk(file),
              (PropertyListValue::Dictionary{{QStringLiteral("b"), 2}, {QStringLiteral("c"), 3}}));
    ASSERT_EQ(alertsShown(), 1u);
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText,
              QStringLiteral("Kestrova could not save its settings"));
}

// The processor time this process has used so far, in seconds.
double processorSeconds() {
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return double(used.tv_sec) + double(used.tv_nsec) / 1e9;
}

TEST_F(UserDefaultsTest, ASaveThatKeepsFailingIsRetriedCalmlyUntilItWorks) {
    // The settings file is a link into a folder that does not exist (yet): every save fails, and each
    // attempt makes and removes files in the watched folder.
    const QString missing = directory.path() + QStringLiteral("/missing");
    ASSERT_TRUE(QFile::link(missing + QStringLiteral("/suite.plist"), path()));
    UserDefaults suite(path());
    testing::internal::CaptureStderr();
    suite.setObject(PropertyListValue(7), QStringLiteral("kept"));

    // Two seconds of a running event loop: one try after a second, no spinning, one line in the log. Each
    // try makes and removes the lock file beside the settings, which a watcher of the folder sees.
    QFileSystemWatcher folder({directory.path()});
    int folderChanges = 0;
    QObject::connect(&folder, &QFileSystemWatcher::directoryChanged, [&] { ++folderChanges; });
    const double before = processorSeconds();
    QEventLoop twoSeconds;
    QTimer::singleShot(2000, &twoSeconds, &QEventLoop::quit);
    twoSeconds.exec();
    const double used = processorSeconds() - before;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_LT(used, 0.5) << "a failing save must not spin";
    EXPECT_LE(folderChanges, 6) << "saves are tried again on a timer, not on their own files' events";
    std::size_t lines = 0;
    for (std::size_t at = said.find("could not be saved"); at != std::string::npos;
         at = said.find("could not be saved", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << said;
    EXPECT_EQ(suite.object(QStringLiteral("kept")), PropertyListValue(7));

    // Once the place exists, the next retry saves the value without any further change.
    ASSERT_TRUE(QDir().mkpath(missing));
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return QFile::exists(path()); }));
    EXPECT_EQ(onDisk(path()).at(QStringLiteral("kept")), PropertyListValue(7));
    EXPECT_TRUE(suite.synchronize());
    EXPECT_EQ(alertsShown(), 1u);
}

TEST_F(UserDefaultsTest, ALockLeftByAKilledWriterIsTakenOver) {
    const QByteArray lockPath = QFile::encodeName(path() + QStringLiteral(".lock"));
    // Killed after locking and naming itself, and killed before it could name itself.
    for (const bool namedItself : {true, false}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int descriptor = ::open(lockPath.constData(), O_RDWR | O_CREAT, 0600);
            if (namedItself && ::flock(descriptor, LOCK_EX) == 0) {
                char owner[32];
                const int length = std::snprintf(owner, sizeof owner, "%d\n", int(::getpid()));
                if (::write(descriptor, owner, std::size_t(length)) != length)
                    ::_exit(1);
            }
            ::raise(SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        ASSERT_TRUE(QFile::exists(QFile::decodeName(lockPath)));

        testing::internal::CaptureStderr();
        UserDefaults suite(path());
        suite.setObject(PropertyListValue(namedItself), QStringLiteral("written"));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(onDisk(path()).at(QStringLiteral("written")), PropertyListValue(namedItself));
        EXPECT_FALSE(QFile::exists(QFile::decodeName(lockPath)));
    }
}

TEST_F(UserDefaultsTest, AHostileFileNeverHangsAndIsKeptAsWasBeforeAnyWrite) {
    QByteArray deep = QByteArray("<array>").repeated(5000) + QByteArray("</array>").repeated(5000);
    const std::vector<std::pair<const char *, QByteArray>> damaged{
        {"binary property list", QByteArray("bplist00\xd1\x01\x02Q\x61Q\x62\x08\x0b\x00", 15)},
        {"truncated", plistText("<dict><key>folders</key><array><string>x</string>").left(90)},
        {"value without key", plistText("<dict><string>x</string></dict>")},
        {"unknown kind", plistText("<dict><key>k</key><uid>1</uid></dict>")},
        {"integer of letters", plistText("<dict><key>k</key><integer>ten</integer></dict>")},
        {"deep nesting", plistText(deep)},
        {"too large",
         plistText("<dict><key>k</key><string>" + QByteArray(17 * 1024 * 1024, 'x') + "</string></dict>")},
        {"trailing content", plistText("<dict/>") + "<plist/>"},
    };
    for (const auto &[what, bytes] : damaged) {
        writeFile(bytes);
        testing::internal::CaptureStderr();
        UserDefaults suite(path());
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(suite.persistentDomain().empty()) << what;
        EXPECT_TRUE(fileBytes(newestAside()) == bytes) << what;
        suite.setObject(PropertyListValue(1), QStringLiteral("fresh"));
        EXPECT_EQ(onDisk(path()), (PropertyListValue::Dictionary{{QStringLiteral("fresh"), 1}})) << what;
    }

    // A FIFO in the file's place is set aside, not waited on.
    QFile::remove(path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    testing::internal::CaptureStderr();
    UserDefaults afterFifo(path());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a regular file"), std::string::npos);
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(newestAside()).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    afterFifo.setObject(PropertyListValue(2), QStringLiteral("fresh"));
    EXPECT_EQ(onDisk(path()).at(QStringLiteral("fresh")), PropertyListValue(2));

    // A link to a damaged file elsewhere: the link goes aside, the file it points to stays as it was.
    const QString elsewhere = directory.path() + QStringLiteral("/elsewhere.plist");
    const QByteArray target = plistText("<dict><key>k</key>");
    writeFileAt(elsewhere, target);
    QFile::remove(path());
    ASSERT_TRUE(QFile::link(elsewhere, path()));
    testing::internal::CaptureStderr();
    UserDefaults linked(path());
    testing::internal::GetCapturedStderr();
    linked.setObject(PropertyListValue(3), QStringLiteral("fresh"));
    EXPECT_EQ(fileBytes(elsewhere), target);
    EXPECT_EQ(QFileInfo(newestAside()).symLinkTarget(), elsewhere);
    // Ten damaged files kept in a row (most went aside within one second); an eleventh replaces the oldest.
    ASSERT_EQ(keptAside().size(), 10);
    EXPECT_EQ(fileBytes(keptAside()[0]), damaged[0].second);
    writeFile(damaged[2].second);
    testing::internal::CaptureStderr();
    UserDefaults eleventh(path());
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(keptAside().size(), 10);
    EXPECT_EQ(fileBytes(keptAside()[0]), damaged[1].second);
    EXPECT_EQ(fileBytes(newestAside()), damaged[2].second);
    eleventh.setObject(PropertyListValue(3), QStringLiteral("fresh"));
    EXPECT_EQ(onDisk(path()).at(QStringLiteral("fresh")), PropertyListValue(3));

    // A file this user may not read, where permissions apply.
    if (::geteuid() != 0) {
        writeFile(plistText("<dict><key>k</key><true/></dict>"));
        QFile::setPermissions(path(), QFileDevice::WriteOwner);
        testing::internal::CaptureStderr();
        UserDefaults unreadable(path());
        testing::internal::GetCapturedStderr();
        unreadable.setObject(PropertyListValue(4), QStringLiteral("fresh"));
        QFile::setPermissions(newestAside(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_EQ(fileBytes(newestAside()), plistText("<dict><key>k</key><true/></dict>"));
    }
}

TEST_F(UserDefaultsTest, OneValueThatCannotBeReadIsLeftOutAlone) {
    // Ten folders beside a value larger than anything written, a newer version's key nested too deep, a
    // value of an unknown kind, and a folder list with one element of an unknown kind.
    QByteArray folders;
    PropertyListValue::Array expected;
    for (int index = 0; index < 10; ++index) {
        const QString record = QStringLiteral("{\"id\":%1}").arg(index);
        folders += "<string>" + record.toUtf8() + "</string>";
        expected.emplace_back(record);
        if (index == 4)
            folders += "<uid>3</uid>";
    }
    const QByteArray deep =
        QByteArray("<dict><key>d</key>").repeated(150) + "<true/>" + QByteArray("</dict>").repeated(150);
    const QByteArray bytes = plistText(
        "<dict><key>huge</key><string>" + QByteArray(PropertyListSerialization::kMaximumSize + 1, 'x') +
        "</string><key>folders</key><array>" + folders + "</array><key>future</key>" + deep +
        "<key>odd</key><uid>1</uid><key>launches</key><integer>4</integer></dict>");
    writeFile(bytes);
    testing::internal::CaptureStderr();
    UserDefaults suite(path());
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_EQ(suite.object(QStringLiteral("folders")), PropertyListValue(expected));
    EXPECT_EQ(suite.object(QStringLiteral("launches")), PropertyListValue(4));
    for (const char *leftOut : {"huge", "future", "odd"})
        EXPECT_FALSE(suite.object(QString::fromLatin1(leftOut))) << leftOut;
    // The file as it was is kept once, and the user is told what was left out.
    ASSERT_EQ(keptAside().size(), 1);
    EXPECT_EQ(fileBytes(keptAside()[0]), bytes);
    for (const char *named : {"“huge”", "“future”", "“odd”", "element 6 of a list"})
        EXPECT_NE(said.find(named), std::string::npos) << named << " in " << said;
    suite.setObject(PropertyListValue(5), QStringLiteral("launches"));
    EXPECT_EQ(onDisk(path()),
              (PropertyListValue::Dictionary{{QStringLiteral("folders"), PropertyListValue(expected)},
                                             {QStringLiteral("launches"), 5}}));
    EXPECT_EQ(keptAside().size(), 1);
    EXPECT_EQ(alertsShown(), 1u);
}

TEST_F(UserDefaultsTest, WhatOtherEditorsSaveIsReadAndAnythingDroppedIsKeptAside) {
    const QByteArray body =
        plistText("<dict><key>folders</key><array><string>Fotos ü</string></array></dict>");
    const PropertyListValue folders(PropertyListValue::Array{PropertyListValue(QStringLiteral("Fotos ü"))});

    // A byte-order mark, and UTF-16 (valid XML as well).
    QStringEncoder toUtf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QByteArray utf16 = toUtf16(QString::fromUtf8(body));
    utf16.replace(QByteArray("U\0T\0F\0-\0\x38\0", 10), QByteArray("U\0T\0F\0-\0\x31\0\x36\0", 12));
    for (const QByteArray &bytes : {QByteArray("\xEF\xBB\xBF") + body, utf16}) {
        writeFile(bytes);
        testing::internal::CaptureStderr();
        UserDefaults suite(path());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(suite.object(QStringLiteral("folders")), folders);
        EXPECT_TRUE(keptAside().empty());
    }

    // "folders" twice, the later one empty: the file as it was is kept before anything replaces it.
    const QByteArray twice = plistText("<dict><key>folders</key><array><string>Fotos ü</string></array>"
                                       "<key>folders</key><array/></dict>");
    writeFile(twice);
    testing::internal::CaptureStderr();
    UserDefaults suite(path());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("more than once"), std::string::npos) << said;
    EXPECT_EQ(fileBytes(newestAside()), twice);
    suite.setObject(PropertyListValue(1), QStringLiteral("launches"));
    EXPECT_EQ(fileBytes(newestAside()), twice);
    EXPECT_EQ(alertsShown(), 1u);
}

TEST_F(UserDefaultsTest, WritesStayCompactAndValuesThatCannotBeStoredLeaveTheOldOne) {
    constexpr int kDepth = 90;
    const QByteArray nested =
        QByteArray("<array>").repeated(kDepth) + "<true/>" + QByteArray("</array>").repeated(kDepth);
    writeFile(plistText("<dict><key>tree</key>" + nested + "</dict>"));
    const qsizetype before = fileBytes(path()).size();
    UserDefaults suite(path());
    suite.setObject(PropertyListValue(1), QStringLiteral("launches"));
    EXPECT_LT(fileBytes(path()).size(), before + 200);

    // Deeper than a settings file may be, a date no file can carry, larger than a file may be: refused,
    // and what was stored stays.
    PropertyListValue tooDeep(true);
    for (int level = 0; level < PropertyListSerialization::kMaximumDepth + 1; ++level)
        tooDeep = PropertyListValue(PropertyListValue::Array{tooDeep});
    testing::internal::CaptureStderr();
    suite.setObject(tooDeep, QStringLiteral("launches"));
    suite.setObject(PropertyListValue(Date(1e12)), QStringLiteral("launches"));
    suite.setObject(PropertyListValue(QByteArray(PropertyListSerialization::kMaximumSize, 'x')),
                    QStringLiteral("launches"));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("launches"), std::string::npos) << said;
    EXPECT_EQ(suite.object(QStringLiteral("launches")), PropertyListValue(1));
    EXPECT_EQ(onDisk(path()).at(QStringLiteral("launches")), PropertyListValue(1));
    EXPECT_EQ(alertsShown(), 1u);
}

TEST_F(UserDefaultsTest, DatesBeyond2038ReadBackAsWritten) {
    const Date later = Date::fromDateTime(QDateTime(QDate(2096, 3, 1), QTime(12, 30, 5), Qt::UTC));
    const Date early = Date::fromDateTime(QDateTime(QDate(1850, 1, 1), QTime(0, 0), Qt::UTC));
    {
        UserDefaults writer(path());
        writer.setObject(PropertyListValue(later), QStringLiteral("later"));
        writer.setObject(PropertyListValue(early), QStringLiteral("early"));
    }
    UserDefaults reader(path());
    EXPECT_EQ(reader.object(QStringLiteral("later")), PropertyListValue(later));
    EXPECT_EQ(reader.object(QStringLiteral("early")), PropertyListValue(early));
}

TEST_F(UserDefaultsTest, RealNumbersKeepTheirFractionUnderACommaDecimalLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    {
        UserDefaults writer(path());
        writer.setObject(PropertyListValue(1.5), QStringLiteral("ratio"));
        writer.setObject(PropertyListValue(-0.001), QStringLiteral("small"));
    }
    UserDefaults reader(path());
    const auto ratio = reader.object(QStringLiteral("ratio"));
    const auto small = reader.object(QStringLiteral("small"));
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(ratio, PropertyListValue(1.5));
    EXPECT_EQ(small, PropertyListValue(-0.001));
}
