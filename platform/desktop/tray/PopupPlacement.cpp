#include "platform/desktop/tray/PopupPlacement.h"
#include "platform/desktop/tray/X11PanelStruts_p.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <limits>
#include <optional>

namespace kestrova::platform::desktop {

namespace {

// How far `point` is from `rect` (0 inside), in the sense that picks the nearest screen.
qint64 distanceSquared(const QPoint &point, const QRect &rect) {
    const qint64 dx =
        point.x() < rect.left() ? rect.left() - point.x() : std::max(0, point.x() - rect.right());
    const qint64 dy =
        point.y() < rect.top() ? rect.top() - point.y() : std::max(0, point.y() - rect.bottom());
    return dx * dx + dy * dy;
}

// `start` moved so that [start, start + length) lies within [low, high]; a length that does not fit
// starts at `low`.
int clampSpan(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high + 1 - length));
}

// The part of [start, start + length) within [low, high]; a span wholly outside it is moved to its nearest
// end, as much of it as fits. Returns the start and the length.
std::pair<int, int> spanWithin(int start, int length, int low, int high) {
    const int from = std::max(start, low);
    const int to = std::min(start + length, high + 1);
    if (from < to || (from == to && start >= low && start <= high))
        return {from, to - from};
    const int kept = std::min(length, high + 1 - low);
    return {start < low ? low : high + 1 - std::max(kept, 1), kept};
}

// The part of `anchor` on `screen`. A tray holding more icons than the screen is wide runs past its edge:
// an icon cut by the edge is clicked on its visible part, and one wholly past it is taken at the edge, so
// that it reads as the tray along the top or bottom it is in, not as a panel beyond the side of the screen.
QRect anchorOnScreen(const QRect &anchor, const QRect &screen) {
    const auto [x, width] = spanWithin(anchor.x(), anchor.width(), screen.left(), screen.right());
    const auto [y, height] = spanWithin(anchor.y(), anchor.height(), screen.top(), screen.bottom());
    return {x, y, width, height};
}

} // namespace

namespace {

enum class Side { none, top, bottom, left, right };

// The panel an anchor is in, if any: the side of the screen it runs along and the room it leaves.
struct PanelSide {
    const ScreenArea *screen = nullptr;
    Side side = Side::none;
    QRect room;
    // The anchor's part on that screen.
    QRect anchor;
};

// The centre of `rect`: QRect::center() of an empty rectangle lies before it; a click point is its own
// centre.
QPoint centreOf(const QRect &rect) {
    return {rect.x() + rect.width() / 2, rect.y() + rect.height() / 2};
}

PanelSide panelSideOf(const QRect &anchorAnywhere, const std::vector<ScreenArea> &screens) {
    PanelSide found;
    qint64 best = std::numeric_limits<qint64>::max();
    for (const ScreenArea &candidate : screens) {
        const qint64 distance = distanceSquared(centreOf(anchorAnywhere), candidate.geometry);
        if (distance < best) {
            best = distance;
            found.screen = &candidate;
        }
    }
    if (!found.screen)
        return found;
    found.anchor = anchorOnScreen(anchorAnywhere, found.screen->geometry);
    const QRect &anchor = found.anchor;
    const QPoint centre = centreOf(anchor);
    // The first pixels past the anchor on each side.
    const int anchorEndX = anchor.x() + anchor.width();
    const int anchorEndY = anchor.y() + anchor.height();
    const QRect whole = found.screen->geometry;
    const QRect free = found.screen->available.isEmpty() ? whole : found.screen->available;
    QRect &room = found.room;
    room = free;
    if (centre.y() < free.top()) {
        found.side = Side::top;
        room.setTop(std::max(free.top(), anchorEndY));
    } else if (centre.y() > free.bottom()) {
        found.side = Side::bottom;
        room.setBottom(std::min(free.bottom(), anchor.y() - 1));
    } else if (centre.x() < free.left()) {
        found.side = Side::left;
        room.setLeft(std::max(free.left(), anchorEndX));
    } else if (centre.x() > free.right()) {
        found.side = Side::right;
        room.setRight(std::min(free.right(), anchor.x() - 1));
    } else {
        // The edge nearest to the anchor, if a panel along it could hold the anchor; a tie goes to the top
        // or bottom edge, where most panels are.
        struct Edge {
            Side side;
            int gap;       // from the screen's edge to the anchor's near side
            int thickness; // from the screen's edge to the anchor's far side
        };
        const Edge edges[] = {
            {Side::top, anchor.y() - whole.top(), anchorEndY - whole.top()},
            {Side::bottom, whole.bottom() + 1 - anchorEndY, whole.bottom() + 1 - anchor.y()},
            {Side::left, anchor.x() - whole.left(), anchorEndX - whole.left()},
            {Side::right, whole.right() + 1 - anchorEndX, whole.right() + 1 - anchor.x()},
        };
        // An anchor cut by a side of the screen is in a tray running past that side, not in a panel along it.
        const bool runsPastSide =
            anchor.x() != anchorAnywhere.x() || anchor.width() != anchorAnywhere.width();
        const bool runsPastEnd =
            anchor.y() != anchorAnywhere.y() || anchor.height() != anchorAnywhere.height();
        const Edge *nearest = nullptr;
        for (const Edge &edge : edges) {
            const bool isSide = edge.side == Side::left || edge.side == Side::right;
            if ((isSide && runsPastSide) || (!isSide && runsPastEnd))
                continue;
            if (edge.gap >= 0 && edge.thickness <= kPanelReach && (!nearest || edge.gap < nearest->gap))
                nearest = &edge;
        }
        if (!nearest)
            return found;
        found.side = nearest->side;
        const int panel = nearest->thickness + nearest->gap;
        if (found.side == Side::top)
            room.setTop(std::max(room.top(), whole.top() + panel));
        else if (found.side == Side::bottom)
            room.setBottom(std::min(room.bottom(), whole.bottom() - panel));
        else if (found.side == Side::left)
            room.setLeft(std::max(room.left(), whole.left() + panel));
        else
            room.setRight(std::min(room.right(), whole.right() - panel));
    }
    return found;
}

} // namespace

QPoint popupPositionBesidePanel(const QRect &anchorAnywhere, const QSize &size,
                                const std::vector<ScreenArea> &screens) {
    const PanelSide panel = panelSideOf(anchorAnywhere, screens);
    if (!panel.screen)
        return {anchorAnywhere.x(), anchorAnywhere.y() + anchorAnywhere.height()};
    const QRect &anchor = panel.anchor;
    const int anchorEndY = anchor.y() + anchor.height();
    const QRect &room = panel.room;
    QPoint position(anchor.x(), anchorEndY);
    switch (panel.side) {
    case Side::top:
        position.setY(room.top());
        break;
    case Side::bottom:
        position.setY(room.bottom() + 1 - size.height());
        break;
    case Side::left:
        position = {room.left(), anchor.y()};
        break;
    case Side::right:
        position = {room.right() + 1 - size.width(), anchor.y()};
        break;
    case Side::none:
        if (anchorEndY + size.height() - 1 > room.bottom())
            position.setY(anchor.y() - size.height());
        break;
    }
    return {clampSpan(position.x(), size.width(), room.left(), room.right()),
            clampSpan(position.y(), size.height(), room.top(), room.bottom())};
}

QRect panelAround(const QRect &anchor, const std::vector<ScreenArea> &screens) {
    const PanelSide panel = panelSideOf(anchor, screens);
    if (!panel.screen)
        return {};
    QRect strip = panel.screen->geometry;
    switch (panel.side) {
    case Side::top:
        strip.setBottom(panel.room.top() - 1);
        break;
    case Side::bottom:
        strip.setTop(panel.room.bottom() + 1);
        break;
    case Side::left:
        strip.setRight(panel.room.left() - 1);
        break;
    case Side::right:
        strip.setLeft(panel.room.right() + 1);
        break;
    case Side::none:
        return {};
    }
    return strip;
}

QPoint pointInPanel(const std::vector<ScreenArea> &screens) {
    for (const ScreenArea &screen : screens) {
        const QRect whole = screen.geometry;
        const QRect free = screen.available;
        if (free.isEmpty() || free == whole)
            continue;
        if (free.top() > whole.top())
            return {whole.right(), (whole.top() + free.top()) / 2};
        if (free.bottom() < whole.bottom())
            return {whole.right(), (free.bottom() + 1 + whole.bottom()) / 2};
        if (free.left() > whole.left())
            return {(whole.left() + free.left()) / 2, whole.bottom()};
        if (free.right() < whole.right())
            return {(free.right() + 1 + whole.right()) / 2, whole.bottom()};
    }
    return screens.empty() ? QPoint() : screens.front().geometry.topRight();
}

QRect availableAreaBesideStruts(const QRect &screen, const QRect &desktop,
                                const std::vector<PanelStrut> &struts) {
    QRect free = screen;
    for (const PanelStrut &strut : struts) {
        const auto covers = [&](const PanelStrut::Side &side, const QRect &reserved) {
            return side.width > 0 && screen.intersects(reserved);
        };
        const auto &[left, right, top, bottom] = strut;
        if (covers(top,
                   QRect(QPoint(top.start, desktop.top()), QPoint(top.end, desktop.top() + top.width - 1))))
            free.setTop(std::max(free.top(), desktop.top() + top.width));
        if (covers(bottom, QRect(QPoint(bottom.start, desktop.bottom() - bottom.width + 1),
                                 QPoint(bottom.end, desktop.bottom()))))
            free.setBottom(std::min(free.bottom(), desktop.bottom() - bottom.width));
        if (covers(left, QRect(QPoint(desktop.left(), left.start),
                               QPoint(desktop.left() + left.width - 1, left.end))))
            free.setLeft(std::max(free.left(), desktop.left() + left.width));
        if (covers(right, QRect(QPoint(desktop.right() - right.width + 1, right.start),
                                QPoint(desktop.right(), right.end))))
            free.setRight(std::min(free.right(), desktop.right() - right.width));
    }
    // Struts that leave nothing are not believed: the whole screen is better than no room at all.
    return free.isEmpty() ? screen : free;
}

std::vector<ScreenArea> currentScreenAreas() {
    std::vector<ScreenArea> areas;
    std::optional<std::vector<PanelStrut>> struts;
    for (const QScreen *screen : QGuiApplication::screens()) {
        ScreenArea area{screen->geometry(), screen->availableGeometry()};
        // Nobody made a work area of the struts: read them here, once for all screens.
        if (area.available == area.geometry && QGuiApplication::platformName() == QLatin1String("xcb")) {
            if (!struts)
                struts = x11PanelStruts();
            area.available = availableAreaBesideStruts(area.geometry, screen->virtualGeometry(), *struts);
        }
        areas.push_back(area);
    }
    return areas;
}

} // namespace kestrova::platform::desktop
