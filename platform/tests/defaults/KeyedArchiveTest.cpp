#include "platform/defaults/KeyedArchive.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace kestrova::platform;

namespace {

QImage checkerboard() {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixelColor(0, 0, QColor(255, 0, 0));
    image.setPixelColor(2, 1, QColor(0, 0, 255, 128));
    return image;
}

} // namespace

TEST(KeyedArchiveTest, ColoursAndImagesComeBackExactly) {
    for (const Color &color : {Color(0.25, 0.5, 0.75, 1), Color(0, 0, 0, 0), Color(1.2, -0.1, 0.3, 0.5),
                               Color::fromQColor(QColor(12, 34, 56, 78))}) {
        const auto result = KeyedArchive::unarchiveColor(KeyedArchive::archive(color));
        ASSERT_TRUE(result.value);
        EXPECT_EQ(*result.value, color);
    }
    // An extended-range colour survives the trip through QColor as well.
    const Color wide(1.2, -0.1, 0.3, 0.5);
    EXPECT_NEAR(Color::fromQColor(wide.toQColor()).red(), 1.2, 1e-3);

    const auto image = Image::fromQImage(checkerboard());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(3, 2));
    const auto result = KeyedArchive::unarchiveImage(KeyedArchive::archive(*image));
    ASSERT_TRUE(result.value);
    EXPECT_EQ(*result.value, *image);
    EXPECT_EQ(result.value->toQImage().convertToFormat(QImage::Format_ARGB32), checkerboard());
    EXPECT_EQ(KeyedArchive::className(KeyedArchive::archive(*image)), QStringLiteral("Image"));
}

TEST(KeyedArchiveTest, EveryValueHasAnArchive) {
    // Components that are no numbers cannot reach an archive, so writing a colour never fails.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Color color(nan, std::numeric_limits<double>::infinity(), 0.5, nan);
    EXPECT_EQ(color, Color(0, 0, 0.5, 0));
    EXPECT_TRUE(KeyedArchive::unarchiveColor(KeyedArchive::archive(color)).value);
    EXPECT_EQ(Color::fromQColor(QColor()), Color(0, 0, 0, 0));
    // Only an image with pixels is an Image.
    EXPECT_FALSE(Image::fromQImage(QImage()));
}

TEST(KeyedArchiveTest, ReadsOnlyTheClassItIsAskedFor) {
    const auto image = Image::fromQImage(checkerboard());
    ASSERT_TRUE(image);
    const auto asColour = KeyedArchive::unarchiveColor(KeyedArchive::archive(*image));
    EXPECT_FALSE(asColour.value);
    EXPECT_EQ(asColour.failure, KeyedArchive::Failure::wrongClass);
    const auto asImage = KeyedArchive::unarchiveImage(KeyedArchive::archive(Color()));
    EXPECT_FALSE(asImage.value);
    EXPECT_EQ(asImage.failure, KeyedArchive::Failure::wrongClass);

    // A colour archive with one byte too few or too many, a PNG without a usable header, a newer version.
    QByteArray colour = KeyedArchive::archive(Color(0.1, 0.2, 0.3));
    EXPECT_EQ(KeyedArchive::unarchiveColor(colour.chopped(1)).failure, KeyedArchive::Failure::damaged);
    EXPECT_EQ(KeyedArchive::unarchiveColor(colour + 'x').failure, KeyedArchive::Failure::damaged);
    QByteArray newer = colour;
    newer[4] = 2;
    EXPECT_EQ(KeyedArchive::unarchiveColor(newer).failure, KeyedArchive::Failure::damaged);
    QByteArray truncatedImage = KeyedArchive::archive(*image).left(20);
    EXPECT_EQ(KeyedArchive::unarchiveImage(truncatedImage).failure, KeyedArchive::Failure::damaged);
    QByteArray nanColour = colour;
    for (int index = 11; index < 19; ++index)
        nanColour[index] = char(0xff);
    EXPECT_EQ(KeyedArchive::unarchiveColor(nanColour).failure, KeyedArchive::Failure::damaged);

    // Random bytes, and every prefix of a real archive, are refused without a crash.
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(int(random() % 64), Qt::Uninitialized);
        for (auto &byte : bytes)
            byte = char(random());
        if (round % 2)
            bytes.prepend(QByteArray("KVAR\x01\x05", 6));
        EXPECT_FALSE(KeyedArchive::unarchiveColor(bytes).value && bytes.size() != 4 + 2 + 5 + 32);
        EXPECT_FALSE(KeyedArchive::unarchiveImage(bytes).value);
    }
    const QByteArray whole = KeyedArchive::archive(*image);
    for (qsizetype length = 0; length < 40; ++length)
        EXPECT_FALSE(KeyedArchive::unarchiveImage(whole.left(length)).value) << length;
}
