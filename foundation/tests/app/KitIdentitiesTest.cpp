#include "foundation/app/KitIdentities.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;

TEST(KitIdentitiesTest, DisplayNamesOfFilesAndOtherUrls) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Quarterly Report.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(displayName(QUrl::fromLocalFile(path)), QStringLiteral("Quarterly Report.txt"));
    EXPECT_EQ(displayName(QUrl::fromLocalFile(folder.path() + QStringLiteral("/gone/"))),
              QStringLiteral("gone"));
    EXPECT_EQ(displayName(QUrl(QStringLiteral("https://example.org/a/b.html"))), QStringLiteral("b.html"));

    // A name that is not UTF-8 comes out readable, not empty.
    const QByteArray raw = QFile::encodeName(folder.path()) + "/caf\xe9";
    QFile latin(QFile::decodeName(raw));
    ASSERT_TRUE(latin.open(QIODevice::WriteOnly));
    const QUrl url = QUrl::fromEncoded("file://" + QUrl::toPercentEncoding(QString::fromLatin1(raw), "/"));
    EXPECT_FALSE(displayName(url).isEmpty());
}

TEST(KitIdentitiesTest, AResizedImageKeepsItsMarksAndFillsTheSize) {
    QImage image(32, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    image.setDevicePixelRatio(2);
    image.setText(QStringLiteral("template"), QStringLiteral("true"));
    const QImage small = resized(image, QSize(8, 8));
    EXPECT_EQ(small.size(), QSize(16, 16));
    EXPECT_EQ(small.devicePixelRatio(), 2);
    EXPECT_EQ(small.text(QStringLiteral("template")), QStringLiteral("true"));
    EXPECT_EQ(small.pixelColor(15, 15), QColor(Qt::red));
    EXPECT_TRUE(resized(QImage(), QSize(8, 8)).isNull());

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        EXPECT_EQ(screenIdentity(screen),
                  screen->name().isEmpty() ? std::nullopt : std::optional(screen->name()));
    }
    EXPECT_EQ(screenIdentity(nullptr), std::nullopt);
}
