#include "WindowHelpers.h"

#include "OneShotCompletion_p.h"
#include "ReduceMotion_p.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kestrova {

using std::chrono::milliseconds;

namespace {

double g_timeScale = 1.0;
std::optional<bool> g_reduceMotionOverride;

milliseconds scaled(milliseconds duration) {
    return milliseconds(std::llround(double(duration.count()) * g_timeScale));
}

// The flight's timings: 0.4 s along the curve, fading over 0.2 s from 0.3 s on.
constexpr milliseconds kFlightDuration{400};
constexpr double kFadeStart = 0.3 / 0.4;
constexpr double kFadePerProgress = 0.4 / 0.2;
// A moment for the window manager to map a window before its fade starts.
constexpr milliseconds kMapPause{100};
// Where the flight ends relative to the target, and the pull of the curve's two control points.
constexpr QPointF kEndInset{7, 5};
constexpr double kFirstControlPull = 500;
constexpr double kSecondControlDrop = 300;
constexpr int kUnknownTargetRightInset = 60;

QPointF cubicPoint(const QPointF &start, const QPointF &first, const QPointF &second, const QPointF &end,
                   double t) {
    const double u = 1 - t;
    return u * u * u * start + 3 * u * u * t * first + 3 * u * t * t * second + t * t * t * end;
}

// Runs `animation` (parented to its window) and then `completion` once, also when the window and the
// animation with it are destroyed before the end.
void startWithCompletion(QAbstractAnimation *animation, std::function<void()> onFinished,
                         std::function<void()> completion) {
    auto pending = std::make_shared<std::function<void()>>(std::move(completion));
    auto runOnce = [pending] {
        if (auto handler = std::exchange(*pending, nullptr))
            handler();
    };
    QObject::connect(animation, &QAbstractAnimation::finished, animation,
                     [onFinished = std::move(onFinished), runOnce] {
                         if (onFinished)
                             onFinished();
                         runOnce();
                     });
    QObject::connect(animation, &QObject::destroyed, qApp, runOnce);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

// Puts a picture of the window over its whole content and lets the window shrink below its layout's
// minimum, so that it can be scaled like an image.
QLabel *replaceContentWithSnapshot(QWidget *window) {
    const QPixmap picture = QPixmap::fromImage(snapshot(window, /*includingFrame=*/false));
    for (QWidget *child : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->hide();
    if (window->layout())
        window->layout()->setEnabled(false);
    window->setMinimumSize(1, 1);
    auto *label = new QLabel(window);
    label->setPixmap(picture);
    label->setScaledContents(true);
    label->setGeometry(window->rect());
    label->show();
    return label;
}

} // namespace

double windowAnimationTimeScale() {
    return g_timeScale;
}
void setWindowAnimationTimeScale(double scale) {
    g_timeScale = std::max(0.0, scale);
}

bool shouldReduceMotion() {
    if (g_reduceMotionOverride)
        return *g_reduceMotionOverride;
    static const bool desktopPreference = desktopPrefersReducedMotion();
    return desktopPreference;
}

void setReduceMotionOverride(std::optional<bool> reduceMotion) {
    g_reduceMotionOverride = reduceMotion;
}

QEasingCurve defaultWindowTimingFunction() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.25, 0.1), QPointF(0.25, 1.0), QPointF(1.0, 1.0));
    return curve;
}

namespace {

// Fires `completion` when the application is about to quit: a coroutine still waiting then would never be
// resumed, and its frame (with its timer) would never be freed.
void fireOnQuit(OneShotCompletion &completion) {
    if (QCoreApplication *application = QCoreApplication::instance())
        QObject::connect(application, &QCoreApplication::aboutToQuit, &completion, &OneShotCompletion::fire);
}

} // namespace

QCoro::Task<bool> pauseWhileAlive(QObject *guard, milliseconds duration) {
    if (!guard)
        co_return false;
    OneShotCompletion completion;
    QTimer timer;
    timer.setSingleShot(true);
    bool ranOut = false;
    QObject::connect(&timer, &QTimer::timeout, &completion, [&] {
        ranOut = true;
        completion.fire();
    });
    QObject::connect(guard, &QObject::destroyed, &completion, &OneShotCompletion::fire);
    fireOnQuit(completion);
    timer.start(duration);
    co_await completion.wait();
    co_return ranOut;
}

QCoro::Task<> runAnimation(QAbstractAnimation *animation) {
    OneShotCompletion completion;
    QObject::connect(animation, &QAbstractAnimation::finished, &completion, &OneShotCompletion::fire);
    QObject::connect(animation, &QObject::destroyed, &completion, &OneShotCompletion::fire);
    fireOnQuit(completion);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    co_await completion.wait();
}

void bringToFront(QWidget *window) {
    window->show();
    window->raise();
    window->activateWindow();
}

QCoro::Task<> showWindow(QWidget *window, WindowShowOptions options) {
    QPointer<QWidget> guarded = window;
    if (!guarded)
        co_return;
    auto present = [&] {
        if (options.makeKey) {
            bringToFront(guarded);
        } else {
            guarded->show();
            guarded->raise();
        }
    };
    if (!options.fadeIn) {
        present();
        co_return;
    }
    guarded->setWindowOpacity(0);
    present();
    if (!co_await pauseWhileAlive(guarded, scaled(kMapPause)) || !guarded)
        co_return;
    co_await fadeIn(guarded, options.duration, options.delay, options.timingFunction);
}

QCoro::Task<> fadeIn(QWidget *window, milliseconds duration, milliseconds delay,
                     QEasingCurve timingFunction) {
    QPointer<QWidget> guarded = window;
    // A negative delay means "now".
    if (delay.count() > 0 && !co_await pauseWhileAlive(guarded, scaled(delay)))
        co_return;
    if (!guarded)
        co_return;
    if (shouldReduceMotion()) {
        guarded->setWindowOpacity(1);
        co_return;
    }
    auto *animation = new QPropertyAnimation(guarded, "windowOpacity", guarded);
    animation->setDuration(int(scaled(std::max(duration, milliseconds(0))).count()));
    animation->setEndValue(1.0);
    animation->setEasingCurve(timingFunction);
    co_await runAnimation(animation);
}

void animateInto(QWidget *window, const std::function<std::optional<QRect>()> &target,
                 std::function<void()> completion) {
    if (!window) {
        if (completion)
            completion();
        return;
    }
    QPointer<QWidget> guarded = window;
    auto closeWindow = [guarded] {
        if (guarded)
            guarded->close();
    };
    const std::optional<QRect> targetRect = (target && !shouldReduceMotion()) ? target() : std::nullopt;
    auto *animation = new QVariantAnimation(window);
    animation->setDuration(int(scaled(kFlightDuration).count()));
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);

    if (shouldReduceMotion()) {
        // The same pause, nothing moves.
        startWithCompletion(animation, closeWindow, std::move(completion));
        return;
    }
    if (!targetRect) {
        const double startOpacity = window->windowOpacity();
        QObject::connect(animation, &QVariantAnimation::valueChanged, window,
                         [guarded, startOpacity](auto v) {
                             guarded->setWindowOpacity(startOpacity * (1 - v.toDouble()));
                         });
        startWithCompletion(animation, closeWindow, std::move(completion));
        return;
    }

    const QRect goal = targetRect.value_or(QRect());
    const QRect start = window->geometry();
    QLabel *picture = replaceContentWithSnapshot(window);
    // Qt's y grows downwards: the curve moves the window's bottom-left corner.
    const QPointF startCorner(start.left(), start.top() + start.height());
    QPointF end(goal.left() + kEndInset.x(), goal.top() + goal.height() - kEndInset.y());
    if (goal.left() <= 0 && window->screen())
        end.setX(window->screen()->geometry().width() - kUnknownTargetRightInset);
    const QPointF firstControl(startCorner.x() + kFirstControlPull, startCorner.y());
    const QPointF secondControl(end.x(), end.y() + kSecondControlDrop);
    const QSizeF endSize(goal.width() / 2.0, goal.height() / 2.0);
    const QEasingCurve easeIn = [] {
        QEasingCurve curve(QEasingCurve::BezierSpline);
        curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(1.0, 1.0), QPointF(1.0, 1.0));
        return curve;
    }();
    const double startOpacity = window->windowOpacity();

    QObject::connect(animation, &QVariantAnimation::valueChanged, window, [=](const QVariant &value) {
        const double progress = value.toDouble();
        const QPointF corner =
            cubicPoint(startCorner, firstControl, secondControl, end, easeIn.valueForProgress(progress));
        const QSize size(
            std::max(1, int(std::lround(start.width() + (endSize.width() - start.width()) * progress))),
            std::max(1, int(std::lround(start.height() + (endSize.height() - start.height()) * progress))));
        guarded->setGeometry(
            QRect(QPoint(int(std::lround(corner.x())), int(std::lround(corner.y())) - size.height()), size));
        picture->setGeometry(QRect(QPoint(0, 0), size));
        const double fade = std::clamp((progress - kFadeStart) * kFadePerProgress, 0.0, 1.0);
        guarded->setWindowOpacity(startOpacity * (1 - fade));
    });
    startWithCompletion(animation, closeWindow, std::move(completion));
}

QCoro::Task<> animateIntoAsync(QWidget *window, const std::function<std::optional<QRect>()> &target) {
    OneShotCompletion completion;
    QPointer<OneShotCompletion> guarded = &completion;
    animateInto(window, target, [guarded] {
        if (guarded)
            guarded->fire();
    });
    fireOnQuit(completion);
    co_await completion.wait();
}

QImage snapshot(QWidget *window, bool includingFrame) {
    QImage image;
    if (includingFrame && window->isVisible() && window->screen() &&
        QGuiApplication::platformName() == QLatin1String("xcb")) {
        // The frame belongs to the window manager: only the screen holds its pixels.
        image = window->screen()
                    ->grabWindow(0, window->frameGeometry().x(), window->frameGeometry().y(),
                                 window->frameGeometry().width(), window->frameGeometry().height())
                    .toImage();
    }
    if (image.isNull())
        image = window->grab().toImage();
    if (image.isNull()) {
        image = QImage(window->size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }
    return image;
}

void toggle(QWidget *window) {
    if (window->isVisible() && window->isActiveWindow()) {
        window->close();
        return;
    }
    bringToFront(window);
}

void setWindowLevel(QWidget *window, WindowLevel level) {
    const bool below = level < WindowLevel::normal;
    const bool above = level > WindowLevel::normal;
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == above &&
        window->windowFlags().testFlag(Qt::WindowStaysOnBottomHint) == below)
        return;
    // Changing the flags of a shown window unmaps it: show it again.
    const bool wasVisible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, above);
    window->setWindowFlag(Qt::WindowStaysOnBottomHint, below);
    if (wasVisible)
        window->show();
}

namespace MenuBarMetrics {

namespace {
constexpr int kMenuBarHeight = 24;

std::optional<std::pair<QRect, QRect>> primaryScreenRects() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return std::pair(screen->geometry(), screen->availableGeometry());
}
} // namespace

int menuBarHeight() {
    return kMenuBarHeight;
}

std::optional<int> dockHeight(const QRect &screenGeometry, const QRect &availableGeometry) {
    const int inset = (screenGeometry.top() + screenGeometry.height()) -
                      (availableGeometry.top() + availableGeometry.height());
    if (inset == 0)
        return std::nullopt;
    return inset;
}

std::optional<int> dockHeight() {
    const auto rects = primaryScreenRects();
    return rects ? dockHeight(rects->first, rects->second) : std::nullopt;
}

bool isMenuBarHidden(const QRect &screenGeometry, const QRect &availableGeometry) {
    const int reserved = screenGeometry.height() - availableGeometry.height() -
                         dockHeight(screenGeometry, availableGeometry).value_or(0);
    return menuBarHeight() + 1 > reserved;
}

bool isMenuBarHidden() {
    const auto rects = primaryScreenRects();
    return rects ? isMenuBarHidden(rects->first, rects->second) : false;
}

} // namespace MenuBarMetrics

namespace {
std::function<void()> &settingsWindowOpener() {
    static std::function<void()> opener;
    return opener;
}
} // namespace

void setSettingsWindowOpener(std::function<void()> opener) {
    settingsWindowOpener() = std::move(opener);
}

void showSettingsWindowAsync() {
    QTimer::singleShot(0, qApp, [] {
        if (const auto &opener = settingsWindowOpener())
            opener();
    });
}

} // namespace kestrova
