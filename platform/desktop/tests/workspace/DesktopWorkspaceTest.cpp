#include "platform/desktop/workspace/DesktopWorkspace.h"

#include "DesktopTestApplications_p.h"
#include "platform/testing/EventLoop.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

using namespace kestrova::platform;

namespace {

// The home Trash of the test process; the test main points XDG_DATA_HOME at a temporary folder.
QString homeTrash() {
    return QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/Trash");
}

QString trashInfoPathLine(const QString &trashedName) {
    QFile info(homeTrash() + QStringLiteral("/info/") + trashedName + QStringLiteral(".trashinfo"));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : info.readAll().split('\n')) {
        if (line.startsWith("Path="))
            return QString::fromLatin1(line.mid(5));
    }
    return {};
}

} // namespace

TEST(DesktopWorkspaceTest, TrashKeepsAwkwardNamesAndRefusesLostItems) {
    // Made inside XDG_DATA_HOME so that the item sits on the home Trash's volume.
    QTemporaryDir folder(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/items-XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const QString name = QStringLiteral("Grüße & 100% done.txt");
    const QString path = folder.filePath(name);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept");
    }

    desktop::DesktopWorkspace workspace;
    const auto trashed = workspace.moveToTrash(QUrl::fromLocalFile(path));
    ASSERT_TRUE(trashed.succeeded) << trashed.message.toStdString();
    EXPECT_FALSE(QFile::exists(path));

    QFile kept(homeTrash() + QStringLiteral("/files/") + name);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("kept"));

    // The stored path is percent-encoded and decodes to the original one.
    const QString stored = trashInfoPathLine(name);
    ASSERT_FALSE(stored.isEmpty());
    EXPECT_FALSE(stored.contains(QLatin1Char(' ')));
    EXPECT_FALSE(stored.contains(QStringLiteral("ü")));
    EXPECT_TRUE(stored.contains(QStringLiteral("%25")));
    EXPECT_EQ(QUrl::fromPercentEncoding(stored.toLatin1()), path);

    // The entry is gone now: every request says so and nothing else happens.
    for (const auto &result :
         {workspace.moveToTrash(QUrl::fromLocalFile(path)), workspace.open(QUrl::fromLocalFile(path)),
          workspace.reveal(QUrl::fromLocalFile(path)), workspace.showProperties(QUrl::fromLocalFile(path))}) {
        EXPECT_FALSE(result.succeeded);
        EXPECT_EQ(result.message, QStringLiteral("“%1” no longer exists.").arg(name));
    }
    EXPECT_TRUE(kept.exists());

    // A folder goes to the Trash with its contents.
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("sub dir/inner")));
    ASSERT_TRUE(
        workspace.moveToTrash(QUrl::fromLocalFile(folder.filePath(QStringLiteral("sub dir")))).succeeded);
    EXPECT_TRUE(QDir(homeTrash() + QStringLiteral("/files/sub dir/inner")).exists());
}

TEST(DesktopWorkspaceTest, SharedWorkspaceRefusesUntilOneIsInstalled) {
    EXPECT_FALSE(Workspace::shared().open(QUrl::fromLocalFile(QDir::homePath())).succeeded);
    auto installed = std::make_shared<desktop::DesktopWorkspace>();
    Workspace::setShared(installed);
    EXPECT_EQ(&Workspace::shared(), installed.get());
    Workspace::setShared(nullptr);
    EXPECT_FALSE(Workspace::shared().moveToTrash(QUrl::fromLocalFile(QDir::homePath())).succeeded);
}

TEST(DesktopWorkspaceTest, NamesThatAreNotUtf8AreFoundByTheirBytes) {
    QTemporaryDir folder(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/bytes-XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const QByteArray path = QFile::encodeName(folder.path()) + "/caf\xE9.txt";
    FILE *raw = std::fopen(path.constData(), "w");
    ASSERT_NE(raw, nullptr);
    std::fclose(raw);
    const QUrl url = QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);

    desktop::DesktopWorkspace workspace;
    const auto properties = workspace.showProperties(url);
    EXPECT_FALSE(properties.message.contains(QStringLiteral("no longer exists")))
        << properties.message.toStdString();
    const auto trashed = workspace.moveToTrash(url);
    ASSERT_TRUE(trashed.succeeded) << trashed.message.toStdString();
    EXPECT_NE(::access(path.constData(), F_OK), 0);
}

TEST(DesktopWorkspaceTest, LinksGoToTheHandlerOfTheirSchemeAndFailAloudWithoutOne) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString output = scratch.filePath(QStringLiteral("argument"));
    // The tests' registry sends https links to "org.example.Browser", which records what it is given.
    kestrova::testing::recordArgumentInto(output);

    desktop::DesktopWorkspace workspace;
    const QUrl page(QStringLiteral("https://kestrova.org/help?from=menu#faq"));
    const auto opened = workspace.open(page);
    ASSERT_TRUE(opened.succeeded) << opened.message.toStdString();
    QFile argument(output);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return argument.size() > 0; }));
    ASSERT_TRUE(argument.open(QIODevice::ReadOnly));
    EXPECT_EQ(argument.readAll(), page.toEncoded());

    // Nothing handles this scheme here: the failure is reported, with the desktop's reason, and known as
    // the lack of an application.
    const auto refused = workspace.open(QUrl(QStringLiteral("kestrova-test-nothing:hello")));
    EXPECT_FALSE(refused.succeeded);
    EXPECT_TRUE(refused.lacksApplication);
    EXPECT_FALSE(refused.message.isEmpty());
}
