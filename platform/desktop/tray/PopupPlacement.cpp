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

} // namespace

QPoint popupPositionBesidePanel(const QPoint &click, const QSize &size,
                                const std::vector<ScreenArea> &screens) {
    const ScreenArea *screen = nullptr;
    qint64 best = std::numeric_limits<qint64>::max();
    for (const ScreenArea &candidate : screens) {
        const qint64 distance = distanceSquared(click, candidate.geometry);
        if (distance < best) {
            best = distance;
            screen = &candidate;
        }
    }
    if (!screen)
        return click;
    const QRect free = screen->available.isEmpty() ? screen->geometry : screen->available;

    QPoint position = click;
    if (click.y() < free.top())
        position.setY(free.top());
    else if (click.y() > free.bottom())
        position.setY(free.bottom() + 1 - size.height());
    else if (click.x() < free.left())
        position.setX(free.left());
    else if (click.x() > free.right())
        position.setX(free.right() + 1 - size.width());
    else if (click.y() + size.height() - 1 > free.bottom())
        position.setY(click.y() - size.height());

    return {clampSpan(position.x(), size.width(), free.left(), free.right()),
            clampSpan(position.y(), size.height(), free.top(), free.bottom())};
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
