// Launch at login through the real autostart file: what the switch shows is what the file says, hand-made
// files are replaced only by turning the switch, and the start-up migration writes nothing there.
#include "integration/ApplicationEntry.h"
#include "integration/Bootwick.h"
#include "integration/DesktopEntry.h"
#include "integration/views/BootwickToggle.h"

#include "platform/defaults/UserDefaults.h"
#include "platform/testing/TemporaryHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

namespace kestrova {
namespace {

class BootwickTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(Bootwick::autostartFilePath()); }
    void TearDown() override { QFile::remove(Bootwick::autostartFilePath()); }

    static void writeAutostart(const QByteArray &text) {
        QDir().mkpath(QFileInfo(Bootwick::autostartFilePath()).absolutePath());
        QFile file(Bootwick::autostartFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    static QByteArray autostartText() {
        QFile file(Bootwick::autostartFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray thisProgram() { return QFile::encodeName(QCoreApplication::applicationFilePath()); }
    static int validate(const QString &path) {
        QProcess validator;
        validator.start(QStringLiteral("desktop-file-validate"), {path});
        return validator.waitForFinished(30000) ? validator.exitCode() : -1;
    }
};

TEST_F(BootwickTest, TheSwitchWritesAValidEntryForThisProgramAndRemovesIt) {
    Bootwick::Toggle toggle;
    toggle.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toggle));
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_EQ(toggle.text(), QStringLiteral("Launch at login"));

    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_TRUE(Bootwick::isEnabled());
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_EQ(validate(Bootwick::autostartFilePath()), 0);
    const auto entry = DesktopEntry::read(Bootwick::autostartFilePath());
    ASSERT_TRUE(entry);
    EXPECT_EQ(DesktopEntry::splitExec(entry->value(QStringLiteral("Exec")).value_or(QString())),
              std::vector<QString>{QCoreApplication::applicationFilePath()});

    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_FALSE(QFileInfo::exists(Bootwick::autostartFilePath()));
    EXPECT_FALSE(Bootwick::isEnabled());
    EXPECT_FALSE(toggle.isChecked());
}

TEST_F(BootwickTest, TheStateIsReadFromTheFileAsOthersLeftIt) {
    const QByteArray head = "[Desktop Entry]\nType=Application\nName=Kestrova\n";
    writeAutostart(head + "Exec=" + thisProgram() + " --from-login\n");
    EXPECT_TRUE(Bootwick::isEnabled());
    writeAutostart(head + "Exec=" + thisProgram() + "\nHidden=true\n");
    EXPECT_FALSE(Bootwick::isEnabled()) << "hidden";
    writeAutostart(head + "Exec=" + thisProgram() + "\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(Bootwick::isEnabled()) << "switched off";
    writeAutostart(head);
    EXPECT_FALSE(Bootwick::isEnabled()) << "no Exec";
    writeAutostart(head + "Exec=/bin/true\n");
    EXPECT_FALSE(Bootwick::isEnabled()) << "another program";
    writeAutostart("not an entry at all");
    EXPECT_FALSE(Bootwick::isEnabled());

    // A new switch shows what the file holds now, not what was last written.
    writeAutostart(head + "Exec=" + thisProgram() + "\n");
    EXPECT_TRUE(Bootwick::Toggle().isChecked());
    QFile::remove(Bootwick::autostartFilePath());
    EXPECT_FALSE(Bootwick::Toggle().isChecked());
}

TEST_F(BootwickTest, HandMadeEntriesStayUntilTheSwitchIsTurnedAndLinksAreReplacedNotFollowed) {
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("mine.desktop"));
    QFile targetFile(target);
    ASSERT_TRUE(targetFile.open(QIODevice::WriteOnly));
    targetFile.write("[Desktop Entry]\nType=Application\nName=Mine\nExec=/bin/true\n");
    targetFile.close();
    QDir().mkpath(QFileInfo(Bootwick::autostartFilePath()).absolutePath());
    ASSERT_TRUE(QFile::link(target, Bootwick::autostartFilePath()));

    Bootwick::migrateIfNeeded();
    EXPECT_TRUE(QFileInfo(Bootwick::autostartFilePath()).isSymLink()) << "start-up leaves it alone";
    EXPECT_EQ(platform::UserDefaults::standard()->object(QStringLiteral("Bootwick__hasMigrated")),
              platform::PropertyListValue(true));

    Bootwick::setEnabled(true);
    EXPECT_FALSE(QFileInfo(Bootwick::autostartFilePath()).isSymLink());
    EXPECT_TRUE(Bootwick::isEnabled());
    ASSERT_TRUE(targetFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(targetFile.readAll().contains("Exec=/bin/true")) << "the link's target is untouched";

    writeAutostart("[Desktop Entry]\nType=Application\nName=Edited\n");
    Bootwick::setEnabled(true);
    EXPECT_TRUE(Bootwick::isEnabled()) << "turning it on writes the entry afresh";
}

TEST_F(BootwickTest, TurningOffHidesASystemEntryOfTheSameName) {
    const QString systemFolder = qEnvironmentVariable("XDG_CONFIG_DIRS") + QStringLiteral("/autostart");
    QDir().mkpath(systemFolder);
    const QString systemEntry = systemFolder + QStringLiteral("/org.kestrova.Kestrova.desktop");
    QFile file(systemEntry);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nName=Kestrova\nExec=" + thisProgram() + "\n");
    file.close();

    Bootwick::setEnabled(false);
    const auto entry = DesktopEntry::read(Bootwick::autostartFilePath());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->booleanValue(QStringLiteral("Hidden")), true);
    EXPECT_EQ(validate(Bootwick::autostartFilePath()), 0);
    EXPECT_FALSE(Bootwick::isEnabled());
    QFile::remove(systemEntry);
}

TEST_F(BootwickTest, EveryWriteIsAnnouncedAndSubscribersStartWithTheCurrentValue) {
    QSignalSpy willChange(&Bootwick::Observable::shared(), &Bootwick::Observable::willChange);
    std::vector<bool> received;
    const auto subscription = Bootwick::subscribe([&](bool value) { received.push_back(value); });
    ASSERT_EQ(received.size(), 1u);
    Bootwick::setEnabled(true);
    Bootwick::setEnabled(true);
    Bootwick::setEnabled(false);
    EXPECT_EQ(willChange.count(), 3);
    EXPECT_EQ(std::vector<bool>(received.begin() + 1, received.end()),
              (std::vector<bool>{true, true, false}));
    std::vector<bool> late;
    const auto lateSubscription = Bootwick::subscribe([&](bool value) { late.push_back(value); });
    EXPECT_EQ(late, std::vector<bool>{false}) << "the last value written";
}

TEST(ApplicationEntryTest, AFirstRunInstallsALauncherAndIconAndLeavesExistingOnesAlone) {
    testing::TemporaryHome home;
    ASSERT_TRUE(ApplicationEntry::installIfNeeded());
    QProcess validator;
    validator.start(QStringLiteral("desktop-file-validate"), {ApplicationEntry::launcherFilePath()});
    ASSERT_TRUE(validator.waitForFinished(30000));
    EXPECT_EQ(validator.exitCode(), 0) << validator.readAllStandardOutput().toStdString();
    const auto entry = DesktopEntry::read(ApplicationEntry::launcherFilePath());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->value(QStringLiteral("Icon")), QStringLiteral("org.kestrova.Kestrova"));
    EXPECT_EQ(DesktopEntry::splitExec(entry->value(QStringLiteral("Exec")).value_or(QString())),
              std::vector<QString>{QCoreApplication::applicationFilePath()});
    QFile icon(ApplicationEntry::iconFilePath());
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly));
    EXPECT_TRUE(icon.readAll().startsWith("<svg"));

    QFile launcher(ApplicationEntry::launcherFilePath());
    ASSERT_TRUE(launcher.open(QIODevice::WriteOnly | QIODevice::Truncate));
    launcher.write("[Desktop Entry]\nType=Application\nName=My own\nExec=/bin/true\n");
    launcher.close();
    ASSERT_TRUE(ApplicationEntry::installIfNeeded());
    EXPECT_EQ(DesktopEntry::read(ApplicationEntry::launcherFilePath())->value(QStringLiteral("Name")),
              QStringLiteral("My own"));
}

// What sits at the autostart path is the user's (or anyone's): a FIFO or a link to one must not freeze the
// switch, and only a regular file of entry size, reached directly or through a link, is read.
TEST_F(BootwickTest, OnlyARegularFileOfEntrySizeIsReadAndAFifoNeverBlocks) {
    const QString path = Bootwick::autostartFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray fifo = QFile::encodeName(path + QStringLiteral(".fifo"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const auto readsWithoutBlocking = [&](const char *what) {
        auto answer = std::async(std::launch::async, [] { return Bootwick::isEnabled(); });
        const bool answered = answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        if (!answered) {
            // Let the stuck reader go: a writer that opens and closes gives it an end of file.
            const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
        EXPECT_TRUE(answered) << what;
        EXPECT_FALSE(answer.get()) << what;
    };
    ASSERT_TRUE(QFile::rename(QFile::decodeName(fifo), path));
    readsWithoutBlocking("a FIFO at the path");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QFile::decodeName(fifo), path));
    readsWithoutBlocking("a link to a FIFO");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
    readsWithoutBlocking("a link to a device");
    ASSERT_TRUE(QFile::remove(path));
    QFile::remove(QFile::decodeName(fifo));

    // A good entry reached through a link reads as on; the same entry padded past 1 MiB is no entry.
    Bootwick::setEnabled(true);
    const QByteArray entry = autostartText();
    const QString real = path + QStringLiteral(".real");
    ASSERT_TRUE(QFile::rename(path, real));
    ASSERT_TRUE(QFile::link(real, path));
    EXPECT_TRUE(Bootwick::isEnabled());
    ASSERT_TRUE(QFile::remove(path));
    QFile::remove(real);
    writeAutostart(entry + "# " + QByteArray(1 << 20, 'x') + "\n");
    EXPECT_FALSE(Bootwick::isEnabled());
}

} // namespace
} // namespace kestrova
