#include "foundation/app/LaunchingProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kestrova;

namespace {

// A process table of our own, in the layout of /proc.
class FakeProcessTable {
public:
    void add(int process, const QByteArray &name, int parent) {
        const QString folder = m_root.path() + QLatin1Char('/') + QString::number(process);
        QDir().mkpath(folder);
        QFile stat(folder + QStringLiteral("/stat"));
        ASSERT_TRUE(stat.open(QIODevice::WriteOnly));
        stat.write(QByteArray::number(process) + " (" + name + ") S " + QByteArray::number(parent) +
                   " 1 1 0 -1 4194560 100 0 0 0\n");
    }
    QByteArray root() const { return QFile::encodeName(m_root.path()); }

private:
    QTemporaryDir m_root;
};

TEST(LaunchingProcessTest, WalksUpToTheTopMostAncestorBelowInit) {
    FakeProcessTable table;
    table.add(300, "login shell", 1);
    table.add(400, "term) (x", 300); // a command name with a parenthesis and a space
    table.add(500, "kestrova", 400);
    table.add(600, "launcher", 1);
    EXPECT_EQ(LaunchingProcess::parentProcessID(400, table.root()), 300);
    EXPECT_EQ(LaunchingProcess::rootProcessID(400, table.root()), 300);
    EXPECT_EQ(LaunchingProcess::rootProcessID(500, table.root()), 300);
    EXPECT_EQ(LaunchingProcess::rootProcessID(600, table.root()), 600);
    EXPECT_EQ(LaunchingProcess::rootProcessID(1, table.root()), std::nullopt);
    EXPECT_EQ(LaunchingProcess::rootProcessID(0, table.root()), std::nullopt);

    // Below the user's service manager, the manager's child is the root.
    table.add(200, "systemd", 1);
    table.add(210, "desktop", 200);
    table.add(220, "launcher", 210);
    EXPECT_EQ(LaunchingProcess::rootProcessID(220, table.root()), 210);

    // An unreadable record midway answers where the walk began; a loop ends.
    table.add(700, "orphan", 999);
    EXPECT_EQ(LaunchingProcess::rootProcessID(700, table.root()), 700);
    table.add(800, "a", 801);
    table.add(801, "b", 800);
    EXPECT_EQ(LaunchingProcess::rootProcessID(800, table.root()), 800);
    EXPECT_EQ(LaunchingProcess::runningProcess(400, table.root())->name, QStringLiteral("term) (x"));
}

TEST(LaunchingProcessTest, ReadsTheRealProcessTable) {
    EXPECT_EQ(LaunchingProcess::parentProcessID(::getpid()), ::getppid());
    const auto self = LaunchingProcess::runningProcess(::getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(QFile::decodeName(self->executablePath), QCoreApplication::applicationFilePath());
    EXPECT_FALSE(self->name.isEmpty());
    if (::getppid() > 1) {
        const auto root = LaunchingProcess::processID();
        ASSERT_TRUE(root);
        EXPECT_GT(*root, 1);
    }
}

} // namespace
