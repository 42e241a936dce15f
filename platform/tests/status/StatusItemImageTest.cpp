#include "platform/status/StatusItemImage.h"

#include "platform/testing/ImageInk.h"

#include <QRect>

#include <gtest/gtest.h>

using kestrova::platform::StatusItemImage;
using kestrova::platform::SymbolImage;
using kestrova::testing::inkBounds;
using kestrova::testing::strongestInk;

namespace {

StatusItemImage symbol(const QString &name = QStringLiteral("folder.fill")) {
    StatusItemImage image;
    image.symbol = SymbolImage(name, SymbolImage::standardPointSize(name));
    return image;
}

StatusItemImage titled(const QString &title) {
    StatusItemImage image;
    image.title = title;
    return image;
}

} // namespace

TEST(StatusItemImageTest, InitialsAreTheFirstGraphemesOfTheFirstTwoWords) {
    EXPECT_EQ(StatusItemImage::initials(QStringLiteral("Work Notes")), QStringLiteral("WN"));
    EXPECT_EQ(StatusItemImage::initials(QStringLiteral("downloads")), QStringLiteral("D"));
    EXPECT_EQ(StatusItemImage::initials(QStringLiteral("  my_project 2024 old ")), QStringLiteral("MP"));
    EXPECT_EQ(StatusItemImage::initials(QStringLiteral("R&D")), QStringLiteral("RD"));
    // A letter with a combining accent is one grapheme, kept whole.
    EXPECT_EQ(StatusItemImage::initials(QStringLiteral("e\u0301te\u0301 photos")),
              QStringLiteral("E\u0301P"));
    EXPECT_EQ(StatusItemImage::initials(QStringLiteral("straße")), QStringLiteral("S"));
    EXPECT_EQ(StatusItemImage::initials(QStringLiteral("  --  ")), QStringLiteral("-"));
    EXPECT_EQ(StatusItemImage::initials(QStringLiteral("   ")), QString());
    EXPECT_TRUE(titled(QStringLiteral(" \n ")).isNull());
    EXPECT_TRUE(titled(QStringLiteral(" \n ")).render(22).isNull());
}

TEST(StatusItemImageTest, EveryLookFillsEveryTraySizeVisibly) {
    StatusItemImage both = symbol();
    both.title = QStringLiteral("Downloads");
    const std::vector<std::pair<const char *, StatusItemImage>> looks{
        {"title", titled(QStringLiteral("Downloads"))}, {"icon", symbol()}, {"icon and title", both}};
    for (const auto &[name, look] : looks) {
        for (const int size : StatusItemImage::kTraySizes) {
            const QImage image = look.render(size);
            ASSERT_EQ(image.size(), QSize(size, size)) << name << " at " << size;
            const QRect ink = inkBounds(image);
            // Legible: the drawing spans at least half the square, whatever the size.
            EXPECT_GE(ink.height(), size / 2) << name << " at " << size;
            EXPECT_GE(ink.width(), size / 2) << name << " at " << size;
        }
    }
    // Initials alone fill the square, so one letter is readable at 16 pixels.
    EXPECT_GE(inkBounds(titled(QStringLiteral("Downloads")).render(16)).height(), 12);
}

TEST(StatusItemImageTest, TitlesAndBadgesTellItemsApart) {
    const QImage alpha = titled(QStringLiteral("Alpha")).render(22);
    EXPECT_NE(alpha, titled(QStringLiteral("Work Notes")).render(22));
    EXPECT_NE(alpha, titled(QStringLiteral("Alpha Beta")).render(22));

    StatusItemImage withBadge = symbol();
    withBadge.title = QStringLiteral("Alpha");
    const QImage badged = withBadge.render(22);
    EXPECT_NE(badged, symbol().render(22));
    EXPECT_NE(badged, alpha);
    StatusItemImage otherBadge = withBadge;
    otherBadge.title = QStringLiteral("Zulu");
    EXPECT_NE(badged, otherBadge.render(22));
    // The badge sits in the lower right corner, with its letter cut out (transparent inside the disc).
    const QRect corner(11, 11, 11, 11);
    int clear = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y)
        for (int x = corner.left(); x <= corner.right(); ++x)
            clear += badged.pixelColor(x, y).alpha() == 0 ? 1 : 0;
    EXPECT_GT(clear, 0);
    EXPECT_GT(inkBounds(badged.copy(corner)).width(), 8);
}

TEST(StatusItemImageTest, InkTintsTemplatesAndTitlesButNotBitmaps) {
    StatusItemImage title = titled(QStringLiteral("Alpha"));
    title.ink = QColor(Qt::red);
    EXPECT_EQ(strongestInk(title.render(22)), QColor(Qt::red));
    StatusItemImage templated = symbol();
    templated.ink = QColor(Qt::blue);
    EXPECT_EQ(strongestInk(templated.render(22)), QColor(Qt::blue));

    QImage green(22, 22, QImage::Format_ARGB32_Premultiplied);
    green.fill(Qt::green);
    StatusItemImage bitmap;
    bitmap.picture = green;
    bitmap.isTemplate = false;
    bitmap.ink = QColor(Qt::blue);
    EXPECT_EQ(bitmap.render(22).pixelColor(11, 11), QColor(Qt::green));
    bitmap.isTemplate = true;
    EXPECT_EQ(bitmap.render(22).pixelColor(11, 11), QColor(Qt::blue));
    // Beside a bitmap the badge is still in ink.
    bitmap.isTemplate = false;
    bitmap.title = QStringLiteral("Alpha");
    EXPECT_EQ(bitmap.render(22).pixelColor(2, 2), QColor(Qt::green));
    EXPECT_EQ(strongestInk(bitmap.render(22).copy(17, 17, 5, 5)), QColor(Qt::blue));

    // Pictures keep their proportion to a 22-pixel panel, and a large one fits the square.
    QImage small(11, 11, QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::black);
    StatusItemImage half;
    half.picture = small;
    EXPECT_EQ(inkBounds(half.render(44)).size(), QSize(22, 22));
    // A small tray keeps a picture that fits whole.
    EXPECT_EQ(inkBounds(half.render(16)).size(), QSize(11, 11));
    small = QImage(15, 15, QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::black);
    half.picture = small;
    EXPECT_EQ(inkBounds(half.render(16)).size(), QSize(14, 14));
    half.picture = QImage(200, 100, QImage::Format_ARGB32_Premultiplied);
    half.picture.fill(Qt::black);
    EXPECT_EQ(inkBounds(half.render(22)).size(), QSize(22, 11));

    title.appearsDisabled = true;
    EXPECT_NEAR(strongestInk(title.render(22)).alphaF(), 0.5, 0.02);
}
