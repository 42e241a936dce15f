#pragma once

#include <QCoro/QCoroTask>
#include <QEasingCurve>
#include <QImage>
#include <QRect>

#include <chrono>
#include <functional>
#include <optional>

class QWidget;

// Showing, fading, flying, snapshotting and toggling the kit's windows, their stacking levels, the metrics
// of the top panel, and opening Settings. Main thread only.
//
// The window manager owns stacking and focus on Linux: activation is a request (raise + activate) that
// focus-stealing prevention may refuse, levels are only "on top" / "below" hints, and window opacity shows
// only under a compositing manager (without one a fade simply shows the window at the end).
namespace kestrova {

// Every duration of the window animations is multiplied by this (1 unless changed); tests make it small
// so that animations end at once without changing what they do.
double windowAnimationTimeScale();
void setWindowAnimationTimeScale(double scale);

// Whether animations are skipped: the override when one is set, else the desktop's "enable animations"
// preference where one can be read (false when none can).
bool shouldReduceMotion();
void setReduceMotionOverride(std::optional<bool> reduceMotion);

// The desktop's default easing of a window animation (a gentle ease in and out).
QEasingCurve defaultWindowTimingFunction();

struct WindowShowOptions {
    bool fadeIn = false;
    // Ask for the keyboard too, not only to be brought forward.
    bool makeKey = true;
    std::chrono::milliseconds duration{500};
    std::chrono::milliseconds delay{0};
    QEasingCurve timingFunction = defaultWindowTimingFunction();
};

// Waits `duration`; answers false when the pause was cut short because `guard` went away (or was null) or the
// application is about to quit, so that no coroutine is left waiting when the event loop ends (its frame
// would never be freed).
QCoro::Task<bool> pauseWhileAlive(QObject *guard, std::chrono::milliseconds duration);

// Shows `window`, brings it forward and (with makeKey) activates it. With a fade it starts fully
// transparent, waits a moment for the window to be mapped, then fades in; resumes when the fade is over.
// A window destroyed meanwhile ends the task quietly.
QCoro::Task<> showWindow(QWidget *window, WindowShowOptions options = {});

// Waits `delay`, then fades the window's opacity to 1 over `duration` (at once when motion is reduced).
QCoro::Task<> fadeIn(QWidget *window, std::chrono::milliseconds duration, std::chrono::milliseconds delay,
                     QEasingCurve timingFunction = defaultWindowTimingFunction());

// Closes `window` by flying it into the rectangle `target` gives (global coordinates, typically the tray
// icon's geometry): a snapshot of the window shrinks along a curve into the target and fades, then the
// window is closed. Where no target is known, the window fades out in place; with reduced motion it is
// closed after the same time without moving. `completion` runs once in every case, also when the window is
// destroyed meanwhile.
void animateInto(QWidget *window, const std::function<std::optional<QRect>()> &target,
                 std::function<void()> completion = {});
QCoro::Task<> animateIntoAsync(QWidget *window, const std::function<std::optional<QRect>()> &target);

// An image of the window's current content; with `includingFrame`, of its frame and title bar where the
// windowing system can give them. Never null: a window that cannot be drawn gives a transparent image of
// its size.
QImage snapshot(QWidget *window, bool includingFrame);

// Closes a visible active window, otherwise shows it, brings it forward and activates it.
void toggle(QWidget *window);

// Shows the window, raises it and asks for the keyboard: what a tray application does before any of its
// windows can be used.
void bringToFront(QWidget *window);

// Stacking levels. Linux knows only "above the others" and "below the others", so every level above
// `normal` becomes the stays-on-top hint and every level below it the stays-on-bottom hint.
enum class WindowLevel {
    desktop,
    desktopIcon,
    minimum,
    backstopMenu,
    normal,
    floating,
    modalPanel,
    utility,
    dragging,
    mainMenu,
    statusBar,
    popUpMenu,
    overlay,
    help,
    screenSaver,
    assistiveTechHigh,
    cursor,
    maximum,
    shielding,
};
void setWindowLevel(QWidget *window, WindowLevel level);

// The top panel of the primary screen, from the screen's full and available rectangles.
namespace MenuBarMetrics {
// The expected height of the top panel: 24 (no screen here has a notch).
int menuBarHeight();
// The space the screen keeps free at its bottom (a dock or bottom panel); none when it is 0 or there is no
// screen.
std::optional<int> dockHeight(const QRect &screenGeometry, const QRect &availableGeometry);
std::optional<int> dockHeight();
// True when the screen keeps less room at its top than a panel would take: the panel hides itself, or
// there is none.
bool isMenuBarHidden(const QRect &screenGeometry, const QRect &availableGeometry);
bool isMenuBarHidden();
} // namespace MenuBarMetrics

// Opening Settings: the screens install the opener at start-up (the settings window lives above this
// library); `showSettingsWindowAsync` calls it on a later turn of the main event loop.
void setSettingsWindowOpener(std::function<void()> opener);
void showSettingsWindowAsync();

} // namespace kestrova
