#include "platform/workspace/IconTheme.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utime.h>

namespace kestrova::platform {
namespace {

void write(const QString &path, const QByteArray &contents) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

void writePng(const QString &path, int size, QColor colour) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(path, "png"));
}

QByteArray svg(const char *colour) {
    return QByteArrayLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'><rect width='16' "
                             "height='16' fill='") +
           colour + "'/></svg>";
}

void updateCache(const QString &themeFolder) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("gtk-update-icon-cache"));
    ASSERT_FALSE(tool.isEmpty()) << "gtk-update-icon-cache writes the caches desktops ship";
    ASSERT_EQ(QProcess::execute(tool, {QStringLiteral("--force"), QStringLiteral("--quiet"),
                                       QStringLiteral("--ignore-theme-index"), themeFolder}),
              0);
}

// The file's times set `seconds` back, as a cache written before the theme last changed.
void age(const QString &path, int seconds) {
    const time_t then = time(nullptr) - seconds;
    const utimbuf times{then, then};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
}

QRgb centre(const QIcon &icon, int size) {
    const QImage image = icon.pixmap(size).toImage();
    return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
}

// A system folder with a cached base theme and a child theme that inherits it, and a user folder whose
// hicolor has no cache, as an application's own installed icon leaves it.
class IconThemeTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        write(system("Base/index.theme"),
              "[Icon Theme]\nName=Base\n# a comment\nDirectories=16x16/mimetypes,scalable/mimetypes\n\n"
              "[16x16/mimetypes]\nSize=16\nType=Fixed\n\n"
              "[scalable/mimetypes]\nSize=64\nMinSize=8\nMaxSize=512\nType=Scalable\n");
        writePng(system("Base/16x16/mimetypes/text-x-generic.png"), 16, Qt::red);
        write(system("Base/scalable/mimetypes/text-x-generic.svg"), svg("blue"));
        write(system("Base/scalable/mimetypes/image-x-generic.svg"), svg("blue"));
        updateCache(system("Base"));
        write(system("Child/index.theme"),
              "[Icon Theme]\nName=Child\nInherits=Base\nDirectories=16x16/mimetypes\n"
              "[16x16/mimetypes]\nSize=16\nType=Fixed\n");
        writePng(system("Child/16x16/mimetypes/text-x-python.png"), 16, Qt::green);
        write(system("hicolor/index.theme"),
              "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,scalable/apps\n"
              "[48x48/apps]\nSize=48\nType=Fixed\n[scalable/apps]\nSize=128\nMinSize=1\nMaxSize=512\n"
              "Type=Scalable\n");
        updateCache(system("hicolor"));
        write(user("hicolor/scalable/apps/our-app.svg"), svg("yellow"));
    }

    QString system(const char *path) const { return m_root.filePath(QStringLiteral("system/")) + path; }
    QString user(const char *path) const { return m_root.filePath(QStringLiteral("user/")) + path; }
    QStringList searchPaths() const { return {m_root.filePath("user"), m_root.filePath("system")}; }

    QTemporaryDir m_root;
};

TEST_F(IconThemeTest, findsNamesThroughInheritanceShorterNamesAndUncachedFolders) {
    const IconTheme theme(QStringLiteral("Child"), searchPaths(), QString());
    EXPECT_EQ(theme.resolvedName(QStringLiteral("text-x-python")), QStringLiteral("text-x-python"));
    // A name no theme has draws as its shorter form, which the child has.
    EXPECT_EQ(theme.resolvedName(QStringLiteral("text-x-python-script")), QStringLiteral("text-x-python"));
    EXPECT_EQ(theme.resolvedName(QStringLiteral("text-x-generic")), QStringLiteral("text-x-generic"));
    EXPECT_EQ(theme.resolvedName(QStringLiteral("our-app")), QStringLiteral("our-app"));
    EXPECT_EQ(theme.resolvedName(QStringLiteral("application-x-nothing")), QString());
    EXPECT_TRUE(theme.icon(QStringLiteral("application-x-nothing")).isNull());

    // The 16-pixel PNG where a size matches it exactly, the SVG drawn at any other size.
    const QIcon generic = theme.icon(QStringLiteral("text-x-generic"));
    EXPECT_EQ(generic.name(), QStringLiteral("text-x-generic"));
    EXPECT_EQ(centre(generic, 16), QColor(Qt::red).rgba());
    EXPECT_EQ(generic.pixmap(48).size(), QSize(48, 48));
    EXPECT_EQ(centre(generic, 48), QColor(Qt::blue).rgba());
    // Drawn again, the same size comes from what was loaded.
    EXPECT_EQ(centre(generic, 16), QColor(Qt::red).rgba());
    EXPECT_EQ(centre(theme.icon(QStringLiteral("our-app")), 32), QColor(Qt::yellow).rgba());
    // A PNG smaller than asked stays as it is; a disabled icon is still drawn.
    EXPECT_EQ(theme.icon(QStringLiteral("text-x-python")).pixmap(32).size(), QSize(16, 16));
    EXPECT_FALSE(theme.icon(QStringLiteral("text-x-python")).pixmap(16, QIcon::Disabled).isNull());

    // A missing theme leaves hicolor and the fallback theme.
    const IconTheme fallback(QStringLiteral("Missing"), searchPaths(), QStringLiteral("Base"));
    EXPECT_EQ(fallback.resolvedName(QStringLiteral("text-x-generic-template")), QStringLiteral("text-x-generic"));
    EXPECT_EQ(fallback.resolvedName(QStringLiteral("text-x-python")), QString());
    EXPECT_EQ(fallback.resolvedName(QStringLiteral("our-app")), QStringLiteral("our-app"));
}

TEST_F(IconThemeTest, aStaleOrDamagedCacheReadsAsNoCache) {
    // An icon added after the cache was written is found all the same.
    age(system("Base/icon-theme.cache"), 60);
    writePng(system("Base/16x16/mimetypes/image-x-added.png"), 16, Qt::green);
    {
        const IconTheme theme(QStringLiteral("Base"), searchPaths(), QString());
        EXPECT_EQ(centre(theme.icon(QStringLiteral("image-x-added")), 16), QColor(Qt::green).rgba());
        EXPECT_EQ(centre(theme.icon(QStringLiteral("text-x-generic")), 16), QColor(Qt::red).rgba());
    }
    // Damaged in place: truncated, then overwritten with bytes that point everywhere.
    QFile cache(system("Base/icon-theme.cache"));
    ASSERT_TRUE(cache.open(QIODevice::ReadWrite));
    const QByteArray bytes = cache.readAll();
    ASSERT_GT(bytes.size(), 64);
    for (const QByteArray &damaged : {bytes.left(40), QByteArray(bytes.size(), '\xff'),
                                      bytes.left(12) + QByteArray(bytes.size() - 12, '\x01')}) {
        cache.resize(0);
        cache.seek(0);
        cache.write(damaged);
        cache.flush();
        const IconTheme theme(QStringLiteral("Base"), searchPaths(), QString());
        EXPECT_EQ(centre(theme.icon(QStringLiteral("text-x-generic")), 16), QColor(Qt::red).rgba());
        EXPECT_EQ(theme.resolvedName(QStringLiteral("image-x-generic")), QStringLiteral("image-x-generic"));
    }
}

// The installed theme, through its shipped cache, draws the very images Qt's own look-up draws.
TEST(InstalledIconThemeTest, drawsWhatQtDraws) {
    const QStringList searchPaths{QStringLiteral("/usr/share/icons")};
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    const IconTheme theme(QStringLiteral("Adwaita"), searchPaths, QString());
    for (const char *name : {"text-x-generic", "folder", "image-x-generic", "x-office-document",
                             "inode-symlink", "application-x-executable"}) {
        for (int size : {16, 22, 24, 32, 48, 64}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(size));
            const QImage ours = theme.icon(QString::fromLatin1(name)).pixmap(size).toImage();
            const QImage qts = QIcon::fromTheme(QString::fromLatin1(name)).pixmap(size).toImage();
            ASSERT_FALSE(qts.isNull());
            EXPECT_EQ(ours.convertToFormat(QImage::Format_ARGB32), qts.convertToFormat(QImage::Format_ARGB32));
        }
    }
}

TEST(IconThemeCacheTest, hostileCachesAreRefusedOrReadAsFewerIcons) {
    const auto be32 = [](std::uint32_t value) {
        const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
        return QByteArray(bytes, 4);
    };
    // Version 1.0, the hash at 12 with one bucket, the directory list at 20 with one name; the bucket's icon
    // at 32 chains to itself, under a name other than the one looked up.
    QByteArray looping = QByteArray("\0\1\0\0", 4) + be32(12) + be32(20) + be32(1) + be32(32) + be32(1) +
                         be32(28) + QByteArray("dir\0", 4) + be32(32) + be32(44) + be32(0) +
                         QByteArray("other\0", 6);
    const auto cache = IconThemeCache::read(looping);
    ASSERT_TRUE(cache.has_value());
    EXPECT_EQ(cache->directories(), QStringList{QStringLiteral("dir")});
    EXPECT_TRUE(cache->lookup("name").isEmpty());
    // A directory count far beyond the bytes, and a version not known.
    QByteArray huge = looping;
    huge.replace(20, 4, be32(0x40000000));
    EXPECT_FALSE(IconThemeCache::read(huge).has_value());
    QByteArray newer = looping;
    newer[1] = 2;
    EXPECT_FALSE(IconThemeCache::read(newer).has_value());
    EXPECT_FALSE(IconThemeCache::read(looping.left(10)).has_value());
}

} // namespace
} // namespace kestrova::platform
