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

// Where the top-left corner of a popup of `size` goes for a click at the global point `click` on a
// status-notifier icon, whose host tells only the click point. The screen is the one containing the point
// (the nearest one when none does). A point outside the screen's free area is in a panel: the popup's edge
// goes against the free area's edge on that side (below a top panel, above a bottom one, beside a side
// panel), at the click's x (or y), so it never covers the panel. A point in the free area opens the popup
// below it, or above it where there is no room below. The popup is then kept inside the free area; one
// bigger than the free area starts at its top or left edge.
QPoint popupPositionBesidePanel(const QPoint &click, const QSize &size,
                                const std::vector<ScreenArea> &screens);

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
