#include "platform/desktop/tray/TrayStatusItem.h"
#include "platform/desktop/tray/XEmbedTrayIcon.h"

#include "platform/testing/ImageInk.h"

#include <gtest/gtest.h>

using kestrova::platform::StatusItemImage;
using kestrova::platform::desktop::TrayStatusItem;
using kestrova::platform::desktop::XEmbedTrayIcon;
using kestrova::testing::inkBounds;

TEST(TrayStatusItemTest, TheTrayIconDrawsTheRenderingThatFitsItsSlotAndIsNamedByTheTitle) {
    TrayStatusItem item;
    const XEmbedTrayIcon *trayIcon = item.trayIcon();
    ASSERT_NE(trayIcon, nullptr);

    StatusItemImage image;
    image.title = QStringLiteral("Work Notes");
    item.setImage(image);
    item.setTitle(QStringLiteral("Work Notes"));
    EXPECT_EQ(trayIcon->toolTip(), QStringLiteral("Work Notes"));
    // A title alone is a picture like any other: the icon takes its place in the tray.
    EXPECT_TRUE(trayIcon->isVisible());
    // Each slot gets the largest rendering that fits it whole, drawn for that size and never scaled; a
    // slot smaller than every rendering gets the smallest.
    const std::vector<std::pair<QSize, int>> slots{
        {{16, 16}, 16}, {{22, 22}, 22}, {{23, 30}, 22},   {{24, 24}, 24}, {{31, 31}, 24}, {{32, 40}, 32},
        {{48, 48}, 48}, {{96, 32}, 32}, {{128, 128}, 48}, {{10, 10}, 16}, {{0, 0}, 16}};
    for (const auto &[slot, size] : slots) {
        EXPECT_EQ(XEmbedTrayIcon::renderingSizeFor(slot), size) << slot.width() << "x" << slot.height();
        const QImage drawn = trayIcon->rendering(slot);
        EXPECT_EQ(drawn, image.render(size)) << slot.width() << "x" << slot.height();
        EXPECT_FALSE(inkBounds(drawn).isEmpty()) << size;
    }

    // Nothing to draw: no empty slot in the tray.
    item.setImage({});
    EXPECT_FALSE(trayIcon->isVisible());
    EXPECT_TRUE(trayIcon->rendering(QSize(22, 22)).isNull());
    item.setImage(image);
    item.setVisible(false);
    EXPECT_FALSE(trayIcon->isVisible());
    // Not shown, not placed: a menu never opens against a tray slot that is not there.
    EXPECT_TRUE(item.geometry().isEmpty());
}
