#include "WelcomePopover.h"

#include "foundation/app/KvApp.h"
#include "ui-kit/windows/WindowHelpers.h"

#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTimer>
#include <QGuiApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova {
namespace {

std::chrono::milliseconds scaled(std::chrono::milliseconds duration) {
    return std::chrono::milliseconds(qint64(double(duration.count()) * windowAnimationTimeScale()));
}

constexpr int kGap = 6;

} // namespace

WelcomePopover::WelcomePopover(const QString &text)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("welcomePopover"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    auto *label = new QLabel(text, this);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.15);
    label->setFont(font);
    layout->addWidget(label);
    adjustSize();
    // Whoever waits for the greeting to end hears of it before the application ends.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &QWidget::close);
}

QPoint WelcomePopover::placement(const QRect &anchor, const QSize &size, const QRect &screen) {
    const bool below = anchor.center().y() < screen.center().y();
    QPoint topLeft(anchor.center().x() - size.width() / 2,
                   below ? anchor.bottom() + 1 + kGap : anchor.top() - kGap - size.height());
    topLeft.setX(
        std::clamp(topLeft.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())));
    topLeft.setY(
        std::clamp(topLeft.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
    return topLeft;
}

QCoro::Task<> WelcomePopover::showAt(QRect anchor) {
    if (!co_await pauseWhileAlive(QCoreApplication::instance(), scaled(kDelay)))
        co_return;

    QPointer<WelcomePopover> popover = new WelcomePopover(QStringLiteral("Hello, I'm ") + KvApp::name());
    QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        popover->move(placement(anchor, popover->size(), screen->geometry()));
    QTimer::singleShot(scaled(kLifetime), popover.data(), [popover] {
        if (popover)
            popover->close();
    });
    popover->show();
    co_await qCoro(popover.data(), &WelcomePopover::finished);
}

void WelcomePopover::mousePressEvent(QMouseEvent *) {
    close();
}

void WelcomePopover::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(bubble, palette().toolTipBase());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawPath(bubble);
}

void WelcomePopover::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    Q_EMIT finished();
}

} // namespace kestrova
