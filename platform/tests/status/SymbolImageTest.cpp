#include "platform/status/SymbolImage.h"
#include "platform/status/SymbolNameTable_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <iostream>

namespace kestrova::platform {
namespace {

using symbols::SymbolSource;
using Enclosure = SymbolSource::Enclosure;

// Every symbol name the application draws or lists: status items, folder defaults, menus, settings tabs,
// buttons, and the catalogue's named rows, synonyms and boundary names.
const QStringList kDrawnNames = {"eyes",
                                 "folder.fill",
                                 "folder",
                                 "arrow.down.circle",
                                 "xmark.square.fill",
                                 "circle",
                                 "square",
                                 "rectangle.portrait",
                                 "clock.arrow.circlepath",
                                 "house.fill",
                                 "menubar.dock.rectangle",
                                 "doc.fill",
                                 "photo",
                                 "film",
                                 "music.note",
                                 "folder.fill.badge.person.crop",
                                 "app",
                                 "hammer.fill",
                                 "icloud.fill",
                                 "shippingbox.fill",
                                 "questionmark.app.fill",
                                 "ellipsis",
                                 "ellipsis.circle",
                                 "xmark.circle.fill",
                                 "arrow.uturn.backward.circle.fill",
                                 "gearshape",
                                 "gearshape.2",
                                 "command",
                                 "paintbrush.pointed",
                                 "menubar.rectangle",
                                 "filemenu.and.selection",
                                 "bell.badge",
                                 "calendar",
                                 "arrow.triangle.branch",
                                 "globe",
                                 "sparkles",
                                 "nosign",
                                 "square.and.arrow.up",
                                 "square.and.arrow.up.fill",
                                 "square.and.arrow.up.circle",
                                 "square.and.arrow.up.circle.fill",
                                 "square.and.arrow.down",
                                 "49.square.fill",
                                 "50.circle",
                                 "50.circle.fill",
                                 "50.square",
                                 "50.square.fill",
                                 "1.magnifyingglass",
                                 "airplane",
                                 "airpod.gen3.left",
                                 "airport.extreme",
                                 "car.2",
                                 "car",
                                 "checkmark",
                                 "folder.badge.plus",
                                 "folder.badge.minus",
                                 "gear",
                                 "magnifyingglass",
                                 "magnifyingglass.circle",
                                 "magnifyingglass.circle.fill",
                                 "minus.circle",
                                 "star",
                                 "trash",
                                 "xmark",
                                 "house",
                                 "house.circle",
                                 "house.circle.fill",
                                 "music.note.house",
                                 "music.note.house.fill",
                                 "bell.slash",
                                 "ant",
                                 "ant.fill",
                                 "ant.circle",
                                 "ant.circle.fill",
                                 "ladybug",
                                 "ladybug.fill"};

struct DeliberateFallback {
    const char *name;
    const char *reason;
};

const DeliberateFallback kDeliberateFallbacks[] = {
    {"applelogo", "a maker's trademark logo; we draw no vendor logos"},
    {"airtag.radiowaves.forward.rtl", "another maker's tracking tag; the set has no such device"},
    {"folder.badge.questionmark.ar",
     "the set has no folder with a question mark (the script suffix is understood)"},
    {"square.and.arrow.up.trianglebadge.exclamationmark", "the set has no share arrow with a warning badge"},
    {"divide", "the set has no division sign"},
    {"pawprint", "the set has no animals"},
    {"pawprint.fill", "the set has no animals"},
    {"pawprint.circle", "the set has no animals"},
    {"pawprint.circle.fill", "the set has no animals"},
    {"tortoise", "the set has no animals"},
    {"tortoise.fill", "the set has no animals"},
    {"hare", "the set has no animals"},
    {"hare.fill", "the set has no animals"},
};

QString iconSetDirectory() {
    const QString found =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("bootstrap-icons/svg"),
                               QStandardPaths::LocateDirectory);
    return found.isEmpty() ? QStringLiteral("/usr/share/bootstrap-icons/svg") : found;
}

bool iconSetHas(const QString &iconName) {
    return QFileInfo::exists(iconSetDirectory() + QLatin1Char('/') + iconName + QStringLiteral(".svg"));
}

SymbolSource resolve(const QString &name) {
    return symbols::resolveSymbolName(name, iconSetHas);
}

SymbolSource icon(const QString &iconName, Enclosure enclosure = Enclosure::none, bool filled = false,
                  bool mirrored = false) {
    SymbolSource source;
    source.iconName = iconName;
    source.enclosure = enclosure;
    source.filledEnclosure = filled;
    source.mirrored = mirrored;
    return source;
}

// The sum of all alpha, a measure of how much ink an image carries.
qint64 inkOf(const QImage &image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    qint64 ink = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x)
            ink += qAlpha(argb.pixel(x, y));
    }
    return ink;
}

TEST(SymbolImageTest, drawsEveryNameTheApplicationUsesOrFallsBackDeliberately) {
    ASSERT_TRUE(QFileInfo::exists(iconSetDirectory())) << "the bootstrap-icons package is not installed";
    const QImage fallback = SymbolImage(QStringLiteral("no.such.symbol"), 16).image();
    for (const QString &name : kDrawnNames) {
        const SymbolSource source = resolve(name);
        EXPECT_TRUE(source.isKnown()) << name.toStdString();
        if (!source.iconName.isEmpty()) {
            EXPECT_TRUE(iconSetHas(source.iconName)) << name.toStdString();
        }
        const SymbolImage symbol(name, 16);
        EXPECT_TRUE(symbol.isKnown()) << name.toStdString();
        const QImage drawn = symbol.image();
        EXPECT_GT(inkOf(drawn), 0) << name.toStdString();
        EXPECT_NE(drawn, fallback) << name.toStdString();
    }
    for (const DeliberateFallback &entry : kDeliberateFallbacks) {
        const QString name = QString::fromLatin1(entry.name);
        EXPECT_FALSE(SymbolImage::isKnownName(name)) << entry.name << ": " << entry.reason;
        EXPECT_EQ(SymbolImage(name, 16).image(), fallback) << entry.name;
    }
    for (auto entry = symbols::symbolNameTable().cbegin(); entry != symbols::symbolNameTable().cend();
         ++entry) {
        EXPECT_TRUE(iconSetHas(entry.value()))
            << entry.key().toStdString() << " -> " << entry.value().toStdString();
    }
}

TEST(SymbolImageTest, mapsNamesByRuleAndTable) {
    EXPECT_EQ(resolve("badge.ar"), icon("badge-ar"));
    EXPECT_EQ(resolve("folder.fill"), icon("folder-fill"));
    EXPECT_EQ(resolve("arrow.down.circle"), icon("arrow-down-circle"));
    EXPECT_EQ(resolve("xmark.square.fill"), icon("x-square-fill"));
    EXPECT_EQ(resolve("questionmark.app.fill"), icon("question-square-fill"));
    EXPECT_EQ(resolve("doc.fill"), icon("file-earmark-fill"));
    EXPECT_EQ(resolve("eyes"), icon("eye"));
    EXPECT_EQ(resolve("circle.fill"), icon("circle-fill"));
    // Only the outline exists.
    EXPECT_EQ(resolve("hammer.fill"), icon("hammer"));
    // Enclosures the set lacks are drawn around its glyph, and numbers past nine as text.
    EXPECT_EQ(resolve("ellipsis.circle"), icon("three-dots", Enclosure::circle));
    EXPECT_EQ(resolve("arrow.uturn.backward.circle.fill"),
              icon("arrow-return-left", Enclosure::circle, true));
    SymbolSource number = icon({}, Enclosure::square, true);
    number.text = QStringLiteral("49");
    EXPECT_EQ(resolve("49.square.fill"), number);
    EXPECT_EQ(resolve("7.circle"), icon("7-circle"));
    // Language variants draw the plain symbol; right-to-left ones mirrored.
    EXPECT_EQ(resolve("doc.fill.ar"), icon("file-earmark-fill"));
    EXPECT_EQ(resolve("doc.fill.rtl"), icon("file-earmark-fill", Enclosure::none, false, true));
    // Names come from stored settings and scripts: anything but lower-case ASCII words is unknown.
    for (const QString &malformed :
         {QString(), QStringLiteral("Folder"), QStringLiteral("folder..fill"), QStringLiteral(".fill"),
          QStringLiteral("fill"), QStringLiteral("folder.fill "), QStringLiteral("folder/fill"),
          QStringLiteral("pawprint.circle"), QStringLiteral("1234.circle"), QStringLiteral("folder\n"),
          QStringLiteral("folder.fill\n"), QStringLiteral("7\n.circle"), QStringLiteral("49\n.square.fill"),
          QString(reinterpret_cast<const QChar *>(u"folder\0fill"), 11), QStringLiteral("٤٩.circle"),
          QStringLiteral("ｆolder")})
        EXPECT_FALSE(resolve(malformed).isKnown()) << malformed.toStdString();
}

TEST(SymbolImageTest, sizesFollowThePointSizeRuleAndPixelRatio) {
    for (const char *name :
         {"arrow.down.circle", "xmark.square.fill", "clock.arrow.circlepath", "made.up.circle",
          "menubar.dock.rectangle", "a.squares", "a.circle\n", "a.circle\nb.square", "a.square.circle"})
        EXPECT_EQ(SymbolImage::standardPointSize(name), 16) << name;
    for (const char *name : {"eyes", "folder.fill", "circle", "square", "rectangle.portrait", "xcircle", "",
                             "a.circle\nb", "a.Circle", "a.rect", "a,circle"})
        EXPECT_EQ(SymbolImage::standardPointSize(name), 14) << name;

    const SymbolImage small(QStringLiteral("folder.fill"));
    EXPECT_EQ(small.size(), QSize(14, 14));
    EXPECT_EQ(small.image().size(), QSize(14, 14));
    const QImage sharp = SymbolImage(QStringLiteral("folder.fill"), 16).image(2.0);
    EXPECT_EQ(sharp.size(), QSize(32, 32));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(16, 16));
    EXPECT_EQ(SymbolImage(QStringLiteral("no.such.symbol"), 14).image(1.5).size(), QSize(21, 21));
    EXPECT_TRUE(SymbolImage().image().isNull());
    EXPECT_TRUE(SymbolImage().isNull());

    SymbolImage more(QStringLiteral("ellipsis"));
    more.setAccessibilityDescription(QStringLiteral("More"));
    const SymbolImage larger = more.withConfiguration(60, SymbolImage::Weight::bold);
    EXPECT_EQ(larger.accessibilityDescription(), QStringLiteral("More"));
    EXPECT_EQ(larger.image().size(), QSize(60, 60));
    EXPECT_EQ(larger.weight(), SymbolImage::Weight::bold);
}

TEST(SymbolImageTest, weightsEnclosuresAndMirroringChangeTheInk) {
    const auto ink = [](const char *name, SymbolImage::Weight weight = SymbolImage::Weight::regular) {
        return inkOf(SymbolImage(QString::fromLatin1(name), 32, weight).image());
    };
    EXPECT_GT(ink("folder", SymbolImage::Weight::bold), ink("folder"));
    EXPECT_GT(ink("folder", SymbolImage::Weight::black), ink("folder", SymbolImage::Weight::bold));
    EXPECT_EQ(ink("folder", SymbolImage::Weight::light), ink("folder"));
    EXPECT_GT(ink("ellipsis.circle"), ink("ellipsis"));
    EXPECT_GT(ink("ellipsis.circle.fill"), ink("ellipsis.circle"));
    EXPECT_GT(ink("49.square.fill"), ink("49.square"));
    EXPECT_NE(SymbolImage(QStringLiteral("49.square"), 32).image(),
              SymbolImage(QStringLiteral("50.square"), 32).image());

    const QImage plain = SymbolImage(QStringLiteral("doc.fill"), 32).image();
    EXPECT_EQ(SymbolImage(QStringLiteral("doc.fill.rtl"), 32).image(), plain.mirrored(true, false));
    EXPECT_NE(plain, plain.mirrored(true, false));
}

TEST(SymbolImageTest, tintsTemplateImages) {
    const QImage mask = SymbolImage(QStringLiteral("folder.fill"), 16).image(2.0);
    const QImage red = SymbolImage::tinted(mask, QColor(255, 0, 0));
    ASSERT_EQ(red.size(), mask.size());
    EXPECT_EQ(red.devicePixelRatio(), 2.0);
    int opaquePixels = 0;
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            const QRgb before = mask.pixel(x, y);
            const QRgb after = red.pixel(x, y);
            ASSERT_EQ(qAlpha(after), qAlpha(before)) << x << "," << y;
            if (qAlpha(before) == 255) {
                ++opaquePixels;
                EXPECT_EQ(after, qRgb(255, 0, 0));
            }
        }
    }
    EXPECT_GT(opaquePixels, 50);

    // Source-atop: a translucent colour keeps half of the black ink beneath it.
    const QImage translucent = SymbolImage::tinted(mask, QColor(255, 0, 0, 128));
    const QPoint inside(16, 20);
    ASSERT_EQ(qAlpha(mask.pixel(inside)), 255);
    EXPECT_NEAR(qRed(translucent.pixel(inside)), 128, 2);
    EXPECT_EQ(qAlpha(translucent.pixel(inside)), 255);

    EXPECT_EQ(SymbolImage::templateColor(SymbolImage::Appearance::dark), QColor(Qt::white));
    EXPECT_EQ(SymbolImage::templateColor(SymbolImage::Appearance::light), QColor(Qt::black));
    const QImage onDark = SymbolImage(QStringLiteral("folder.fill"), 16)
                              .tintedImage(SymbolImage::templateColor(SymbolImage::Appearance::dark));
    EXPECT_EQ(onDark.pixel(onDark.width() / 2, onDark.height() / 2) | 0xff000000u, 0xffffffffu);

    const QIcon icon = SymbolImage(QStringLiteral("folder.fill")).icon(QColor(0, 0, 255));
    const QPixmap drawn = icon.pixmap(QSize(24, 24), 2.0);
    EXPECT_EQ(drawn.size(), QSize(48, 48));
    EXPECT_EQ(drawn.toImage().pixel(24, 30), qRgb(0, 0, 255));
    const QImage disabled = icon.pixmap(QSize(24, 24), 2.0, QIcon::Disabled).toImage();
    EXPECT_LT(qAlpha(disabled.pixel(24, 30)), 255);
    EXPECT_EQ(icon.name(), QStringLiteral("folder.fill"));
    EXPECT_FALSE(SymbolImage(QStringLiteral("folder.fill")).icon().pixmap(16).isNull());
}

QStringList loggedMessages;

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &message) {
    loggedMessages << message;
}

TEST(SymbolImageTest, logsEachUnknownNameOnceWhileDebugLoggingIsOn) {
    loggedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
    SymbolImage(QStringLiteral("unlogged.while.off")).image();
    SymbolImage::setDebugLogging(true);
    EXPECT_TRUE(SymbolImage::isDebugLogging());
    SymbolImage(QStringLiteral("logged.name"), 14).image();
    SymbolImage(QStringLiteral("logged.name"), 20).image();
    SymbolImage(QStringLiteral("folder.fill")).image();
    SymbolImage::setDebugLogging(false);
    SymbolImage(QStringLiteral("logged.later")).image();
    qInstallMessageHandler(previous);

    ASSERT_EQ(loggedMessages.size(), 1) << loggedMessages.join("\n").toStdString();
    EXPECT_TRUE(loggedMessages.first().contains(QStringLiteral("\"logged.name\"")));
}

// Draws every symbol the application uses, then a row of tints, so that people can look at the result.
TEST(SymbolImageTest, savesAScreenshotOfTheSymbols) {
    QStringList names = kDrawnNames;
    for (const DeliberateFallback &entry : kDeliberateFallbacks)
        names << QString::fromLatin1(entry.name);
    constexpr int kColumns = 8;
    constexpr int kCell = 150;
    constexpr int kSymbolSize = 40;
    const int rows = (static_cast<int>(names.size()) + kColumns - 1) / kColumns + 1;
    QImage sheet(kColumns * kCell, rows * kCell / 2 + 40, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    QFont font;
    font.setPixelSize(11);
    painter.setFont(font);
    for (int index = 0; index < names.size(); ++index) {
        const QRect cell((index % kColumns) * kCell, (index / kColumns) * kCell / 2, kCell, kCell / 2);
        const SymbolImage symbol(names[index], kSymbolSize);
        painter.drawImage(cell.center().x() - kSymbolSize / 2, cell.top() + 8,
                          symbol.tintedImage(symbol.isKnown() ? QColor(Qt::black) : QColor(200, 0, 0)));
        painter.setPen(Qt::darkGray);
        painter.drawText(cell.adjusted(2, kSymbolSize + 12, -2, 0), Qt::AlignHCenter | Qt::TextWrapAnywhere,
                         names[index]);
    }
    // The last row: tints on a dark and on a light panel, at regular and bold weight.
    const int tintTop = ((static_cast<int>(names.size()) + kColumns - 1) / kColumns) * kCell / 2;
    painter.fillRect(QRect(0, tintTop, sheet.width() / 2, kCell / 2 + 40), QColor(40, 40, 40));
    for (int index = 0; index < 8; ++index) {
        const bool onDark = index < 4;
        const QColor ink = SymbolImage::templateColor(onDark ? SymbolImage::Appearance::dark
                                                             : SymbolImage::Appearance::light);
        const QColor tints[] = {ink, ink, QColor(0, 122, 255), QColor(255, 59, 48)};
        const SymbolImage symbol(QStringLiteral("folder.fill"), kSymbolSize,
                                 index % 4 == 1 ? SymbolImage::Weight::bold : SymbolImage::Weight::regular);
        painter.drawImage(index * kCell + kCell / 2 - kSymbolSize / 2, tintTop + 20,
                          symbol.tintedImage(tints[index % 4]));
    }
    painter.end();

    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("symbol-grid.png"));
    ASSERT_TRUE(sheet.save(path)) << path.toStdString();
    std::cout << "Symbol screenshot: " << path.toStdString() << std::endl;
    EXPECT_EQ(QImage(path).size(), sheet.size());
}

} // namespace
} // namespace kestrova::platform
