#include "platform/desktop/PopupPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <limits>

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

std::vector<ScreenArea> currentScreenAreas() {
    std::vector<ScreenArea> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.push_back({screen->geometry(), screen->availableGeometry()});
    return areas;
}

} // namespace kestrova::platform::desktop
