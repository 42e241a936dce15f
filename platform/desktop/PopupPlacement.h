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

// The screens of the running application.
std::vector<ScreenArea> currentScreenAreas();

} // namespace kestrova::platform::desktop
