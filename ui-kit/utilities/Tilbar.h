#pragma once

#include "ui-kit/utilities/Progress.h"

#include <QColor>
#include <QDBusConnection>
#include <QImage>
#include <QPainterPath>
#include <QPointer>
#include <QRectF>

#include <functional>
#include <optional>
#include <variant>

class QPainter;

namespace kestrova {

// Progress shown on the application's launcher icon. There is no dock to draw into here: desktops whose
// dock or task bar follows the launcher-entry signal ("com.canonical.Unity.LauncherEntry", sent on the
// session bus) show the progress as their own bar and a badge's value as their count; elsewhere nothing
// shows. The icon with the chosen style drawn over it is still made (`dockImage`) for whoever can use a
// picture. Main thread.
class Tilbar {
public:
    struct Squircle {
        std::optional<double> inset;
        QColor color;
    };
    struct Circle {
        double radius = 0;
        QColor color;
    };
    struct Badge {
        QColor color;
        std::function<qint64()> badgeValue;
    };
    struct Custom {
        std::function<void(QPainter &, const QRectF &)> drawHandler;
    };
    struct Bar {};
    using Style = std::variant<Squircle, Circle, Badge, Custom, Bar>;

    Tilbar() = delete;

    // The fraction shown, 0 to 1 (1 or more, or below 0, shows the plain icon). A change of 0.01 or less
    // is kept but not shown, unless it crosses between the overlay and the plain icon.
    static double progress();
    static void setProgress(double progress);
    // Follows a progress object (held weakly) until another or none is set; a cancelled one no longer
    // moves the indicator, and a finished one shows the plain icon.
    static Progress *progressInstance();
    static void setProgressInstance(Progress *progress);
    // How the progress is drawn; takes effect at the next redraw.
    static const Style &style();
    static void setStyle(Style style);

    // The icon as last drawn (null before the first redraw or without an application icon), and the number
    // of redraws so far.
    static QImage dockImage();
    static int redrawCount();
    // Where the launcher-entry signal goes (the session bus unless set).
    static void setLauncherEntryConnection(const QDBusConnection &connection);

    // "-5", "3k", "9k+": a count as a badge has room for.
    static QString badgeText(qint64 value);
    // A rectangle with corners rounded as a squircle (corner k = min(half the shorter side, radius)).
    static QPainterPath squirclePath(const QRectF &rect, double cornerRadius);
    // Draws the icon with the style's overlay for `progress` into a picture of the icon's size.
    static QImage drawIcon(const QImage &icon, const Style &style, double progress);

private:
    static void updateDockIcon();
};

} // namespace kestrova
