#include "platform/desktop/workspace/DesktopApplicationRegistry.h"

#include "DesktopTestApplications_p.h"
#include "platform/testing/EventLoop.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

using namespace kestrova::platform;
using namespace kestrova::testing;

namespace {
const auto *const installedRegistry = ::testing::AddGlobalTestEnvironment(new DesktopTestApplications);
} // namespace

TEST(DesktopApplicationRegistryTest, ListsTheDefaultFirstAndLaunchesWithThePathBytes) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString output = scratch.filePath(QStringLiteral("argument"));
    recordArgumentInto(output);
    const QString applications = applicationsFolder();
    const QString broken = applications + QStringLiteral("/org.example.Broken.desktop");

    const QByteArray path = QFile::encodeName(scratch.path()) + "/caf\xE9 'quoted'.txt";
    {
        // Written through the bytes: the decoded name would not round-trip.
        FILE *raw = std::fopen(path.constData(), "w");
        ASSERT_NE(raw, nullptr);
        std::fputs("plain text\n", raw);
        std::fclose(raw);
    }

    desktop::DesktopApplicationRegistry registry;
    const auto found = registry.applicationsToOpen(path);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].id, QStringLiteral("org.example.Reader.desktop"));
    EXPECT_EQ(found[0].name, QStringLiteral("Reader"));
    EXPECT_EQ(found[0].iconName, QStringLiteral("accessories-text-editor"));
    std::set<QString> ids;
    for (const auto &application : found)
        EXPECT_TRUE(ids.insert(application.id).second) << application.id.toStdString() << " listed twice";
    EXPECT_TRUE(ids.count(QStringLiteral("org.example.Writer.desktop")));

    const auto launched = registry.open(
        path, QUrl::fromLocalFile(applications + QStringLiteral("/org.example.Writer.desktop")));
    ASSERT_TRUE(launched.succeeded) << launched.message.toStdString();
    QFile argument(output);
    ASSERT_TRUE(processEventsUntil([&] { return argument.size() > 0; }));
    ASSERT_TRUE(argument.open(QIODevice::ReadOnly));
    EXPECT_EQ(argument.readAll(), path);

    const auto failed = registry.open(path, QUrl::fromLocalFile(broken));
    EXPECT_FALSE(failed.succeeded);
    EXPECT_FALSE(failed.message.isEmpty());
    EXPECT_FALSE(
        registry.open(path, QUrl::fromLocalFile(scratch.filePath(QStringLiteral("none.desktop")))).succeeded);

    // An item that is gone has no applications.
    EXPECT_TRUE(registry.applicationsToOpen(QFile::encodeName(scratch.path()) + "/gone.txt").empty());
}

TEST(DesktopApplicationRegistryTest, InstalledApplicationsAreThoseTheDesktopShowsByName) {
    const QString applications = applicationsFolder();
    const std::set<QString> ownIds{QStringLiteral("org.example.zebraPaint.desktop"),
                                   QStringLiteral("org.example.Atlas.desktop"),
                                   QStringLiteral("org.example.mailReader.desktop")};
    desktop::DesktopApplicationRegistry registry;
    std::vector<QString> ours;
    for (const auto &application : registry.installedApplications()) {
        EXPECT_NE(application.id, QStringLiteral("org.example.Hidden.desktop"));
        // The registry holds the entries of the other tests too: only these three count here.
        if (ownIds.contains(application.id))
            ours.push_back(application.name);
        if (application.id == QStringLiteral("org.example.Atlas.desktop")) {
            EXPECT_EQ(application.url,
                      QUrl::fromLocalFile(applications + QStringLiteral("/org.example.Atlas.desktop")));
        }
    }
    // Sorted as a person reads, whatever the case.
    EXPECT_EQ(ours, (std::vector<QString>{QStringLiteral("Atlas"), QStringLiteral("mail Reader"),
                                          QStringLiteral("zebra Paint")}));
}
