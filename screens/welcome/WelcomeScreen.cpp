#include "WelcomeScreen.h"

#include "WelcomePopover.h"
#include "foundation/app/KvApp.h"
#include "foundation/errors/AlertBuilder.h"
#include "integration/views/BootwickToggle.h"
#include "menubar/MenuBarItem.h"
#include "platform/alerts/Alert.h"
#include "platform/status/StatusItem.h"
#include "ui-kit/windows/WindowHelpers.h"

#include <QCoro/QCoroTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrova {
namespace {

QPushButton *mainButton(const QString &title, double width, QWidget *parent) {
    auto *button = new QPushButton(title, parent);
    button->setAutoDefault(false);
    button->setMinimumWidth(int(width) + 24);
    button->setMinimumHeight(32);
    return button;
}

} // namespace

WelcomeScreen::WelcomeScreen(double buttonWidth, std::function<QWidget *()> hostingWindow,
                             StatusItems statusItems, QWidget *parent)
    : QWidget(parent)
    , m_hostingWindow(std::move(hostingWindow))
    , m_statusItems(statusItems ? std::move(statusItems) : StatusItems(&statusItemRegistry)) {
    setObjectName(QStringLiteral("welcomeScreen"));
    setFixedSize(420, 440);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 8, 20, 20);

    auto *icon = new QLabel(this);
    icon->setPixmap(
        QIcon(QStringLiteral(":/kestrova/integration/org.kestrova.Kestrova.svg")).pixmap(160, 160));
    icon->setAlignment(Qt::AlignHCenter);
    column->addWidget(icon);

    m_titleBlock = new QWidget(this);
    auto *title = new QVBoxLayout(m_titleBlock);
    title->setSpacing(2);
    title->setContentsMargins(0, 0, 0, 0);
    auto *welcome = new QLabel(QStringLiteral("Welcome to"), m_titleBlock);
    welcome->setAlignment(Qt::AlignHCenter);
    welcome->setForegroundRole(QPalette::PlaceholderText);
    QFont welcomeFont = welcome->font();
    welcomeFont.setPointSizeF(welcomeFont.pointSizeF() * 1.4);
    welcome->setFont(welcomeFont);
    auto *name = new QLabel(KvApp::name(), m_titleBlock);
    name->setAlignment(Qt::AlignHCenter);
    QFont nameFont = name->font();
    nameFont.setPixelSize(40);
    nameFont.setWeight(QFont::Black);
    name->setFont(nameFont);
    title->addWidget(welcome);
    title->addWidget(name);
    column->addWidget(m_titleBlock);
    column->addStretch();

    m_pages = new QStackedWidget(this);
    auto *first = new QWidget(m_pages);
    auto *firstColumn = new QVBoxLayout(first);
    firstColumn->setContentsMargins(0, 0, 0, 0);
    auto *launchLabel = new QLabel(QStringLiteral("Launch at login"), first);
    launchLabel->setAlignment(Qt::AlignHCenter);
    firstColumn->addWidget(launchLabel);
    // The text above names the switch; its own label is for screen readers only.
    auto *toggle = new Bootwick::Toggle(QString(), first);
    toggle->setAccessibleName(QStringLiteral("Launch at login"));
    firstColumn->addWidget(toggle, 0, Qt::AlignHCenter);
    firstColumn->addStretch();
    QPushButton *next = mainButton(QStringLiteral("Continue"), buttonWidth, first);
    connect(next, &QPushButton::clicked, this, &WelcomeScreen::showLastPage);
    firstColumn->addWidget(next, 0, Qt::AlignHCenter);

    auto *last = new QWidget(m_pages);
    auto *lastColumn = new QVBoxLayout(last);
    lastColumn->setContentsMargins(20, 0, 20, 0);
    auto *feedback =
        new QLabel(QStringLiteral("If you have any feedback, bug reports, or feature requests, use the "
                                  "feedback button in the app. I quickly respond to all submissions."),
                   last);
    feedback->setWordWrap(true);
    feedback->setAlignment(Qt::AlignHCenter);
    lastColumn->addWidget(feedback);
    lastColumn->addStretch();
    QPushButton *start = mainButton(QStringLiteral("Get Started"), buttonWidth, last);
    start->setDefault(true);
    connect(start, &QPushButton::clicked, this, [this] { QCoro::connect(getStarted(), this, [] {}); });
    lastColumn->addWidget(start, 0, Qt::AlignHCenter);
    // A window is no dialog: Return reaches the default button only through a shortcut of its own, which
    // exists on the last page alone.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *shortcut = new QShortcut(QKeySequence(key), last);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (m_isLastPage)
                QCoro::connect(getStarted(), this, [] {});
        });
    }

    m_pages->addWidget(first);
    m_pages->addWidget(last);
    column->addWidget(m_pages);
}

void WelcomeScreen::showLastPage() {
    m_isLastPage = true;
    m_titleBlock->hide();
    m_pages->setCurrentIndex(1);
}

std::optional<QRect> WelcomeScreen::panelEndAnchor(const QRect &screenGeometry,
                                                   const QRect &availableGeometry) {
    constexpr int kIconSize = 24;
    if (availableGeometry.top() > screenGeometry.top())
        return QRect(screenGeometry.right() + 1 - kIconSize, screenGeometry.top(), kIconSize,
                     availableGeometry.top() - screenGeometry.top());
    if (availableGeometry.bottom() < screenGeometry.bottom())
        return QRect(screenGeometry.right() + 1 - kIconSize, availableGeometry.bottom() + 1, kIconSize,
                     screenGeometry.bottom() - availableGeometry.bottom());
    return std::nullopt;
}

std::optional<QRect> WelcomeScreen::iconAnchor(const platform::StatusItem &statusItem) {
    const QRect icon = statusItem.geometry();
    if (icon.isValid() && !icon.isEmpty())
        return icon;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return panelEndAnchor(screen->geometry(), screen->availableGeometry());
}

QCoro::Task<> WelcomeScreen::getStarted() {
    if (m_isFinishing)
        co_return;
    m_isFinishing = true;
    QPointer<WelcomeScreen> self(this);
    const auto finish = [self] {
        if (self) {
            self->m_isFinishing = false;
            Q_EMIT self->didFinish();
        }
    };

    // The screen goes with its window as the window closes: nothing of it is read after the flight.
    const StatusItems statusItems = m_statusItems;
    const auto items = statusItems();
    QPointer<QWidget> window = m_hostingWindow ? m_hostingWindow() : nullptr;
    if (items.empty() || !items.front()) {
        // Nothing to fly into or to greet from, but the window has no close button: it goes all the same.
        if (window)
            co_await animateIntoAsync(window, [] { return std::optional<QRect>(); });
        finish();
        co_return;
    }
    std::weak_ptr<platform::StatusItem> first = items.front();
    const std::optional<QRect> anchor = iconAnchor(*items.front());
    if (window)
        co_await animateIntoAsync(window, [anchor] { return anchor; });
    if (anchor && !first.expired())
        co_await WelcomePopover::showAt(*anchor);

    QTimer pause;
    pause.setSingleShot(true);
    pause.start(std::chrono::milliseconds(qint64(200 * windowAnimationTimeScale())));
    co_await pause;

    // The registry may have changed meanwhile: the first live item now is the one to check.
    const auto now = statusItems();
    if (!now.empty() && now.front() && now.front()->isHiddenFromMenuBar()) {
        auto alert = std::make_shared<platform::Alert>(makeAlert(
            {.title = QStringLiteral("Tray Icon Did Not Appear"),
             .message =
                 QStringLiteral("The desktop shows no tray for %1's icon. Add a system tray or status "
                                "notifier area to your panel (on some desktops an extension provides one), "
                                "then start %1 again.")
                     .arg(KvApp::name()),
             .style = platform::Alert::Style::warning}));
        co_await platform::AlertPresenter::shared().run(alert);
    }
    finish();
}

} // namespace kestrova
