#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace kestrova::platform::desktop {

// One monitor: all of it, and the part that panels leave free (the work area).
struct ScreenArea {
    QRect geometry;
    QRect available;
};

// Where the top-left corner of a popup of `size` goes when it opens from `anchor`, in global coordinates:
// an embedded tray icon's geometry, or, for a status-notifier host that tells only where it was clicked, an
// empty rectangle at the click point. The screen is the one containing the anchor's centre (the nearest one
// when none does). The popup never covers the panel the anchor is in:
// - an anchor outside the screen's free area (the work area) is in a panel the work area knows: the popup's
//   edge goes against the free area's edge on that side (below a top panel, above a bottom one, beside a
//   side panel), at the anchor's left (or top);
// - an anchor within kPanelReach of a screen edge is in a panel that keeps no room (no window manager, or a
//   tray that sets no strut): panels centre their icons across their thickness, so the panel ends as far
//   beyond the anchor as the anchor is from the edge, and the popup goes past that;
// - anywhere else the popup opens below the anchor, or above it where there is no room below.
// The popup is then kept inside the room left; one bigger than that starts at its top or left edge.
QPoint popupPositionBesidePanel(const QRect &anchor, const QSize &size,
                                const std::vector<ScreenArea> &screens);
inline QPoint popupPositionBesidePanel(const QPoint &click, const QSize &size,
                                       const std::vector<ScreenArea> &screens) {
    return popupPositionBesidePanel(QRect(click, QSize(0, 0)), size, screens);
}

// The strip along the screen's edge that the panel holding `anchor` takes, as popupPositionBesidePanel
// sees it; empty when the anchor is in no panel.
QRect panelAround(const QRect &anchor, const std::vector<ScreenArea> &screens);

// How far from a screen edge the far side of an icon in a panel along that edge may be.
inline constexpr int kPanelReach = 96;

// A point inside a panel that the free areas of `screens` show (on the first screen that has one), at its
// far end, where trays sit: the right end of a top or bottom panel, the bottom end of a side panel. Without
// any panel, the top right corner of the first screen. What a popup opened before any click anchors to.
QPoint pointInPanel(const std::vector<ScreenArea> &screens);

// The room a panel keeps along the edges of the whole desktop (the root window), as its
// _NET_WM_STRUT_PARTIAL says: a width from each edge, and the span along that edge it covers (first and
// last pixel, in desktop coordinates).
struct PanelStrut {
    // How far the panel reaches in from an edge, and the first and last pixel along that edge it covers.
    struct Side {
        int width = 0;
        int start = 0;
        int end = 0;
    };
    Side left;
    Side right;
    Side top;
    Side bottom;
};

// The part of `screen` that the panels' struts leave free, on a desktop spanning `desktop`: a strut that
// covers part of the screen moves that side of the free area in past the panel; one that spans only other
// monitors leaves this one alone. Where no window manager turns the struts into a work area, this is the
// work area it would have made.
QRect availableAreaBesideStruts(const QRect &screen, const QRect &desktop,
                                const std::vector<PanelStrut> &struts);

// The screens of the running application. On X11 without a work area (no window manager, or one that does
// not publish it) the free part is worked out from the panels' struts instead.
std::vector<ScreenArea> currentScreenAreas();

} // namespace kestrova::platform::desktop
