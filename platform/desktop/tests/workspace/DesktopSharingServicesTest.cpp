#include "platform/desktop/workspace/DesktopSharingServices.h"

#include "DesktopTestApplications_p.h"
#include "platform/testing/EventLoop.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova::platform;
using namespace kestrova::testing;

TEST(DesktopSharingServicesTest, EmailCommandsEscapeNamesAndOnlyKnownClientsQualify) {
    const std::vector<QByteArray> files{"/tmp/a, b's.txt", "/tmp/caf\xE9&x=1.txt"};

    const auto evolution = desktop::emailCommand(QStringLiteral("org.gnome.Evolution.desktop"),
                                                 QStringLiteral("evolution"), files);
    ASSERT_TRUE(evolution);
    EXPECT_EQ(evolution->mailtoLink,
              QStringLiteral("mailto:?attach=file%3A%2F%2F%2Ftmp%2Fa%252C%2520b%2527s.txt"
                             "&attach=file%3A%2F%2F%2Ftmp%2Fcaf%25E9%2526x%253D1.txt"));
    EXPECT_TRUE(evolution->program.isEmpty());

    const auto thunderbird = desktop::emailCommand(QStringLiteral("thunderbird.desktop"),
                                                   QStringLiteral("/usr/bin/thunderbird"), files);
    ASSERT_TRUE(thunderbird);
    EXPECT_EQ(thunderbird->program, QStringLiteral("/usr/bin/thunderbird"));
    EXPECT_EQ(thunderbird->arguments, QStringList({QStringLiteral("-compose"),
                                                   QStringLiteral("attachment='file:///tmp/a%2C%20b%27s.txt,"
                                                                  "file:///tmp/caf%E9%26x%3D1.txt'")}));

    // A launcher in between would not hand the arguments on; an unknown client would drop the files.
    EXPECT_FALSE(desktop::emailCommand(QStringLiteral("org.mozilla.Thunderbird.desktop"),
                                       QStringLiteral("/usr/bin/flatpak"), files));
    EXPECT_FALSE(
        desktop::emailCommand(QStringLiteral("org.example.Mail.desktop"), QStringLiteral("mail"), files));
}

TEST(DesktopSharingServicesTest, EmailGoesToTheDefaultMailApplication) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString document = writeTextFile(scratch.filePath(QStringLiteral("report.txt")), "text");
    const std::vector<QUrl> items{QUrl::fromLocalFile(document)};

    desktop::DesktopSharingServices services;

    const QString output = scratch.filePath(QStringLiteral("argument"));
    // The mail application of the tests' registry, "org.gnome.Evolution", records what it is given.
    recordArgumentInto(output);

    // Nothing is offered for no items, nor for anything but local files.
    EXPECT_TRUE(services.servicesForItems({}).empty());
    EXPECT_TRUE(services.servicesForItems({QUrl(QStringLiteral("https://example.org/a.txt"))}).empty());
    const auto offered = services.servicesForItems(items);
    ASSERT_EQ(offered.size(), 1U);
    EXPECT_EQ(offered[0]->title(), QStringLiteral("Email"));

    const auto sent = offered[0]->perform(items);
    ASSERT_TRUE(sent.succeeded) << sent.message.toStdString();
    QFile argument(output);
    ASSERT_TRUE(processEventsUntil([&] { return argument.size() > 0; }));
    ASSERT_TRUE(argument.open(QIODevice::ReadOnly));
    EXPECT_EQ(argument.readAll(),
              "mailto:?attach=" + QUrl::fromLocalFile(document).toEncoded().toPercentEncoding());

    // A file deleted since the menu was built is reported, and the mail application is not started.
    ASSERT_TRUE(QFile::remove(document));
    ASSERT_TRUE(QFile::remove(output));
    const auto gone = offered[0]->perform(items);
    EXPECT_FALSE(gone.succeeded);
    EXPECT_EQ(gone.message, QStringLiteral("“report.txt” no longer exists."));
    EXPECT_FALSE(QFile::exists(output));
}
