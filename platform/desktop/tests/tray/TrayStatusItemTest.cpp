#include "platform/desktop/tray/TrayStatusItem.h"

#include "platform/testing/ImageInk.h"

#include <QSystemTrayIcon>

#include <gtest/gtest.h>

using kestrova::platform::StatusItemImage;
using kestrova::platform::desktop::TrayStatusItem;
using kestrova::testing::inkBounds;

TEST(TrayStatusItemTest, TheTrayIconIsDrawnAtEveryTraySizeAndNamedByTheTitle) {
    TrayStatusItem item;
    const auto *trayIcon = item.findChild<QSystemTrayIcon *>();
    ASSERT_NE(trayIcon, nullptr);

    StatusItemImage image;
    image.title = QStringLiteral("Work Notes");
    item.setImage(image);
    item.setTitle(QStringLiteral("Work Notes"));
    EXPECT_EQ(trayIcon->toolTip(), QStringLiteral("Work Notes"));
    // A title alone is a picture like any other: the icon takes its place in the tray.
    EXPECT_TRUE(trayIcon->isVisible());
    const QIcon icon = trayIcon->icon();
    for (const int size : StatusItemImage::kTraySizes) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        const QImage drawn = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(drawn.size(), QSize(size, size));
        EXPECT_EQ(drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied), image.render(size)) << size;
        EXPECT_FALSE(inkBounds(drawn).isEmpty()) << size;
    }

    // Nothing to draw: no empty slot in the tray.
    item.setImage({});
    EXPECT_FALSE(trayIcon->isVisible());
    item.setImage(image);
    item.setVisible(false);
    EXPECT_FALSE(trayIcon->isVisible());
}
