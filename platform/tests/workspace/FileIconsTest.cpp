#include "platform/workspace/FileIcons.h"

#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kestrova::platform {
namespace {

// Whether the icon draws something at menu size: a real theme icon, not an empty one.
bool drawsSomething(const QIcon &icon) {
    const QImage image = icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

TEST(FileIconsTest, drawsThemeIconsForFilesFoldersAndTypes) {
    FileIcons::installFallbackTheme();
    EXPECT_TRUE(QIcon::themeSearchPaths().contains(QStringLiteral("/usr/share/icons")));
    EXPECT_EQ(QIcon::fallbackThemeName(), QStringLiteral("Adwaita"));

    const QMimeDatabase database;
    EXPECT_EQ(FileIcons::themeIconName(database.mimeTypeForName(QStringLiteral("text/plain"))),
              QStringLiteral("text-x-generic"));
    EXPECT_EQ(FileIcons::themeIconName(database.mimeTypeForName(QStringLiteral("image/png"))),
              QStringLiteral("image-x-generic"));
    EXPECT_EQ(FileIcons::themeIconName(database.mimeTypeForName(QStringLiteral("inode/directory"))),
              QStringLiteral("folder"));
    // A type whose own and generic icons the theme lacks borrows its parent's: C source is plain text.
    EXPECT_EQ(FileIcons::themeIconName(database.mimeTypeForName(QStringLiteral("text/x-csrc"))),
              QStringLiteral("text-x-generic"));

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString notes = folder.filePath(QStringLiteral("notes.txt"));
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString pipe = folder.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    for (const QIcon &icon :
         {FileIcons::iconForPath(notes), FileIcons::iconForPath(folder.path()), FileIcons::iconForPath(pipe),
          FileIcons::iconForPath(folder.filePath(QStringLiteral("missing.png"))), FileIcons::folderIcon(),
          FileIcons::iconForMimeType(QStringLiteral("application/pdf")),
          FileIcons::iconForMimeType(QStringLiteral("no/such-type"))})
        EXPECT_TRUE(drawsSomething(icon));

    EXPECT_EQ(FileIcons::iconForPath(folder.path()).name(), QStringLiteral("folder"));
    EXPECT_EQ(FileIcons::iconForPath(notes).name(), QStringLiteral("text-x-generic"));
    EXPECT_EQ(FileIcons::iconForPath(folder.filePath(QStringLiteral("missing.png"))).name(),
              QStringLiteral("image-x-generic"));
    EXPECT_EQ(FileIcons::iconForMimeType(QStringLiteral("no/such-type")).name(),
              QStringLiteral("text-x-generic"));
}

} // namespace
} // namespace kestrova::platform
