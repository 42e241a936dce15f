#include "store/DefaultsKeys.h"
#include "store/MenuBarItemIcon.h"

#include "platform/defaults/KeyedArchive.h"

#include <gtest/gtest.h>

using namespace kestrova;
using platform::PropertyListValue;
using platform::SymbolImage;

namespace {

class MenuBarItemIconTest : public ::testing::Test {
protected:
    void SetUp() override { Defaults::Keys::menuBarItemIcon().reset(); }
    void TearDown() override { Defaults::Keys::menuBarItemIcon().reset(); }

    static void store(const char *text) {
        Defaults::Keys::menuBarItemIcon().suite()->setObject(PropertyListValue(QString::fromUtf8(text)),
                                                             QStringLiteral("menuBarItemIcon"));
    }
    static QString storedText() {
        const auto stored =
            Defaults::Keys::menuBarItemIcon().suite()->object(QStringLiteral("menuBarItemIcon"));
        return stored && stored->getIf<QString>() ? *stored->getIf<QString>() : QString();
    }
};

platform::Image smallImage() {
    QImage pixels(2, 2, QImage::Format_ARGB32);
    pixels.fill(QColor(10, 20, 30));
    return *platform::Image::fromQImage(pixels);
}

} // namespace

TEST_F(MenuBarItemIconTest, StoredFormAndTolerantReading) {
    // The registered default is the default icon's own text.
    EXPECT_EQ(storedText(), QStringLiteral(R"({"type":"symbol","customImageIsTemplate":true})"));

    MenuBarItemIcon icon;
    icon.type = MenuBarItemIcon::Kind::custom;
    icon.symbolName = QStringLiteral("folder/fill");
    icon.customImage = smallImage();
    icon.customImageIsTemplate = false;
    Defaults::set(Defaults::Keys::menuBarItemIcon(), icon);
    const QString archive = QString::fromLatin1(platform::KeyedArchive::archive(smallImage()).toBase64());
    EXPECT_EQ(storedText(),
              QStringLiteral(R"({"type":"custom","symbolName":"folder\/fill","customImage":")") +
                  QString(archive).replace(QLatin1Char('/'), QStringLiteral("\\/")) +
                  QStringLiteral(R"(","customImageIsTemplate":false})"));
    const MenuBarItemIcon back = Defaults::get(Defaults::Keys::menuBarItemIcon());
    EXPECT_EQ(back.type, MenuBarItemIcon::Kind::custom);
    EXPECT_EQ(back.symbolName, icon.symbolName);
    EXPECT_EQ(back.customImage, icon.customImage);
    EXPECT_FALSE(back.customImageIsTemplate);

    // A newer icon with members we do not know still reads.
    store(R"({"type":"symbol","symbolName":"eyes","customImageIsTemplate":false,"tint":"red"})");
    EXPECT_EQ(Defaults::get(Defaults::Keys::menuBarItemIcon()).symbolName, QStringLiteral("eyes"));

    // Unreadable icons give the default and stay stored as they were.
    const char *unreadable[] = {
        R"({"type":"symbol"})",                                                   // no customImageIsTemplate
        R"({"type":"picture","customImageIsTemplate":true})",                     // no such kind
        R"({"type":"custom","customImage":"AAAA","customImageIsTemplate":true})", // not an archive
        "not json",
    };
    for (const char *text : unreadable) {
        store(text);
        const MenuBarItemIcon read = Defaults::get(Defaults::Keys::menuBarItemIcon());
        EXPECT_EQ(read.type, MenuBarItemIcon::Kind::symbol) << text;
        EXPECT_TRUE(read.customImageIsTemplate) << text;
        EXPECT_FALSE(read.symbolName) << text;
        EXPECT_EQ(storedText(), QString::fromUtf8(text));
    }
    // A colour archive where an image belongs is refused by class.
    const QByteArray colour = platform::KeyedArchive::archive(platform::Color(1, 0, 0)).toBase64();
    store(QByteArray(R"({"type":"custom","customImage":")" + colour + R"(","customImageIsTemplate":false})")
              .constData());
    EXPECT_EQ(Defaults::get(Defaults::Keys::menuBarItemIcon()).type, MenuBarItemIcon::Kind::symbol);
    try {
        MenuBarItemIcon::fromJson(Json::parse(R"({"type":"custom","customImage":")" + colour.toStdString() +
                                              R"(","customImageIsTemplate":false})"));
        ADD_FAILURE() << "a colour was read as an image";
    } catch (const DecodingError &error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
        EXPECT_EQ(error.debugDescription(), QStringLiteral("Invalid type"));
    }
}

TEST_F(MenuBarItemIconTest, ImageFollowsTheSymbolRules) {
    const auto symbolOf = [](const MenuBarItemIcon &icon) {
        const MenuBarItemImage image = icon.nsImage();
        EXPECT_TRUE(image.symbol());
        return image.symbol() ? std::pair{image.symbol()->name(), image.symbol()->pointSize()}
                              : std::pair{QString(), qreal(0)};
    };
    MenuBarItemIcon icon;
    EXPECT_EQ(symbolOf(icon), (std::pair{QStringLiteral("eyes"), qreal(14)}));
    icon.type = MenuBarItemIcon::Kind::custom;
    EXPECT_EQ(symbolOf(icon), (std::pair{QStringLiteral("eyes"), qreal(16)}));

    icon.type = MenuBarItemIcon::Kind::symbol;
    icon.symbolName = QStringLiteral("arrow.down.circle");
    EXPECT_EQ(symbolOf(icon), (std::pair{QStringLiteral("arrow.down.circle"), qreal(16)}));
    icon.symbolName = QStringLiteral("folder.fill");
    EXPECT_EQ(symbolOf(icon), (std::pair{QStringLiteral("folder.fill"), qreal(14)}));
    // A name the set cannot draw shows "eyes" at the size of the name that was asked for.
    icon.symbolName = QStringLiteral("no.such.symbol.circle");
    EXPECT_EQ(symbolOf(icon), (std::pair{QStringLiteral("eyes"), qreal(16)}));

    icon.type = MenuBarItemIcon::Kind::custom;
    icon.customImage = smallImage();
    icon.customImageIsTemplate = false;
    const MenuBarItemImage custom = icon.nsImage();
    ASSERT_TRUE(custom.customImage());
    EXPECT_FALSE(custom.isTemplate());
    EXPECT_EQ(custom.image().size(), QSize(2, 2));
}

TEST(MenuBarItemImageTest, AResizedTemplatePictureIsStillATemplate) {
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(Qt::black);
    const MenuBarItemImage image(*platform::Image::fromQImage(picture), /*isTemplate=*/true);
    const MenuBarItemImage small = image.resized(QSize(16, 8));
    EXPECT_TRUE(small.isTemplate());
    ASSERT_NE(small.customImage(), nullptr);
    EXPECT_EQ(small.customImage()->size(), QSize(16, 8));
    EXPECT_FALSE(
        MenuBarItemImage(*platform::Image::fromQImage(picture), false).resized(QSize(8, 8)).isTemplate());
    const MenuBarItemImage symbol{SymbolImage(QStringLiteral("folder"))};
    EXPECT_EQ(symbol.resized(QSize(8, 8)).symbol()->name(), QStringLiteral("folder"));
}
