#include "Tooltip.h"

#include "WindowHelpers.h"

#include "store/Defaults.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QScreen>

namespace kestrova {

namespace {

Defaults::Key<std::int64_t> counter(const QString &identifier,
                                    const std::shared_ptr<platform::UserDefaults> &suite) {
    return Defaults::Key<std::int64_t>(Tooltip::counterKey(identifier), 0,
                                       suite ? suite : platform::UserDefaults::standard());
}

} // namespace

Tooltip::Tooltip(QString identifier, QString text, Options options, QObject *parent)
    : QObject(parent)
    , m_identifier(std::move(identifier))
    , m_options(std::move(options))
    , m_popover(std::make_unique<Popover>(Popover::Behavior::applicationDefined)) {
    m_popover->setContent(Popover::makeWrappingLabel(text, m_options.maxWidth, m_options.contentInsets),
                          m_options.contentInsets);
    connect(m_popover.get(), &Popover::clicked, this, [this] {
        const QPointer self(this);
        if (m_options.closeOnClick)
            close();
        if (self && m_options.onClick)
            m_options.onClick();
    });
    connect(m_popover.get(), &Popover::closed, this, [this] {
        if (m_followedWindow)
            m_followedWindow->removeEventFilter(this);
        m_followedWindow = nullptr;
        qApp->removeEventFilter(this);
        Q_EMIT closed();
    });
}

Tooltip::~Tooltip() {
    // The bubble goes after this object's members: it must not report its closing to them.
    m_popover->disconnect(this);
    qApp->removeEventFilter(this);
}

std::int64_t Tooltip::showCount() const {
    return Defaults::get(counter(m_identifier, m_options.suite));
}

bool Tooltip::mayShow() {
    if (m_options.showOnlyOnce && showCount() > 0)
        return false;
    const auto key = counter(m_identifier, m_options.suite);
    Defaults::set(key, std::int64_t(Defaults::get(key) + 1));
    return true;
}

bool Tooltip::showRelativeTo(const QRect &rect, QWidget *view) {
    if (!view || !view->window()->isVisible() || !mayShow())
        return false;
    m_anchor = view;
    m_anchorRect = rect;
    if (m_options.closeOnClick)
        qApp->installEventFilter(this);
    place();
    return true;
}

bool Tooltip::showFor(QWidget *anchor) {
    const bool onScreen = anchor && anchor->isVisible() && anchor->window()->isVisible() && anchor->screen();
    if (!onScreen && !showEvenWhenAnchorIsHidden)
        return false;
    if (!onScreen)
        return showBelow(QRect());
    if (!showRelativeTo(QRect(), anchor))
        return false;
    // Follow the anchor's window when it moves.
    m_followedWindow = anchor->window();
    m_followedWindow->installEventFilter(this);
    return true;
}

bool Tooltip::showBelow(const QRect &globalRect) {
    if (!mayShow())
        return false;
    m_anchor = nullptr;
    m_anchorRect = globalRect.isEmpty() || globalRect.left() <= 0 ? fallbackAnchor() : globalRect;
    if (m_options.closeOnClick)
        qApp->installEventFilter(this);
    place();
    return true;
}

QRect Tooltip::fallbackAnchor() const {
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // Near the right end of the top panel, where a tray usually is.
    return {area.right() + 1 - 60, area.top(), 1, 1};
}

void Tooltip::place() {
    // The bubble fades in as it appears, unless the desktop asks for no animations.
    if (!m_popover->isVisible() && !shouldReduceMotion()) {
        m_popover->setWindowOpacity(0);
        auto *fade = new QPropertyAnimation(m_popover.get(), "windowOpacity", m_popover.get());
        fade->setDuration(int(150 * windowAnimationTimeScale()));
        fade->setEndValue(1.0);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        m_popover->setWindowOpacity(1);
    }
    if (m_anchor) {
        const QRect local = m_anchorRect.isEmpty() ? m_anchor->rect() : m_anchorRect;
        m_popover->showAt(QRect(m_anchor->mapToGlobal(local.topLeft()), local.size()));
    } else {
        m_popover->showAt(m_anchorRect);
    }
}

void Tooltip::close() {
    m_popover->hide();
}

bool Tooltip::isShown() const {
    return m_popover->isVisible();
}

bool Tooltip::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_followedWindow && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        if (isShown() && m_anchor)
            place();
    } else if (watched == m_followedWindow && event->type() == QEvent::Hide) {
        close();
    } else if (event->type() == QEvent::MouseButtonPress && isShown()) {
        // Closes on a click elsewhere, the way a semi-transient bubble does.
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() != m_popover.get())
            close();
    }
    return false;
}

} // namespace kestrova
