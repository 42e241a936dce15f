#include "ShortkeelRecorder.h"

#include "integration/CarbonShortkeel.h"
#include "integration/ShortkeelConflicts.h"
#include "integration/ShortkeelKeys.h"
#include "integration/ShortkeelStorage.h"

#include "platform/alerts/Alert.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/menus/Menu.h"
#include "platform/observation/NotificationCenter.h"
#include "store/ShortkeelHandlers.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProxyStyle>
#include <QTimer>

#include <any>

namespace kestrova::Shortkeel {

namespace {

const QString kRecordPlaceholder = QStringLiteral("Record Shortcut");
const QString kPressPlaceholder = QStringLiteral("Press Shortcut");
// A click this close outside the field still counts as in it.
constexpr int kClickMargin = 3;

std::weak_ptr<platform::Menu> &mainMenu() {
    static std::weak_ptr<platform::Menu> menu;
    return menu;
}

// No caret while recording: nothing is typed into the field.
class NoCaretStyle final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override {
        if (metric == PM_TextCursorWidth)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// Keys that only modify another: pressing one alone is no combination yet.
bool isModifierKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

std::shared_ptr<platform::Alert> conflictAlert(const QString &message, const QString &information = {}) {
    auto alert = std::make_shared<platform::Alert>();
    alert->alertStyle = platform::Alert::Style::warning;
    alert->messageText = message;
    alert->informativeText = information;
    return alert;
}

} // namespace

RecorderCocoa::RecorderCocoa(Name name, OnChange onChange, QWidget *parent)
    : QLineEdit(parent)
    , m_shortcutName(std::move(name))
    , m_onChange(std::move(onChange)) {
    setPlaceholderText(kRecordPlaceholder);
    setAlignment(Qt::AlignCenter);
    setClearButtonEnabled(true);
    // Tab passes the field by; a click or the program gives it the focus.
    setFocusPolicy(Qt::ClickFocus);
    // Composed or pasted text is never a shortcut.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setMinimumWidth(kMinimumWidth);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    auto *style = new NoCaretStyle;
    style->setParent(this);
    setStyle(style);

    refresh();
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) {
        // The clear button: nothing else edits the text.
        if (text.isEmpty())
            clearShortcut();
    });
    m_observer = platform::NotificationCenter::defaultCenter().addObserver(
        shortcutByNameDidChange, nullptr,
        [self = QPointer(this)](const platform::Notification &notification) {
            if (!self)
                return;
            const auto entry = notification.userInfo.find(QStringLiteral("name"));
            if (entry == notification.userInfo.end())
                return;
            const auto *name = std::any_cast<Name>(&entry->second);
            if (name && name->rawValue == self->m_shortcutName.rawValue)
                self->refresh();
        });
    // Where the desktop decides the keys (its shortcut portal), the field first shows the keys it asked for
    // and then those the desktop assigned, once it says which.
    m_assignedObserver = platform::NotificationCenter::defaultCenter().addObserver(
        assignedTriggersDidChange, nullptr, [self = QPointer(this)](const platform::Notification &) {
            if (self && !self->m_isRecording)
                self->refresh();
        });
}

RecorderCocoa::~RecorderCocoa() {
    platform::NotificationCenter::defaultCenter().removeObserver(m_observer);
    platform::NotificationCenter::defaultCenter().removeObserver(m_assignedObserver);
    endRecording();
}

void RecorderCocoa::setShortcutName(Name name) {
    if (name.rawValue == m_shortcutName.rawValue)
        return;
    m_shortcutName = std::move(name);
    refresh();
    QTimer::singleShot(0, this, [this] { stopRecording(); });
}

QSize RecorderCocoa::sizeHint() const {
    return {kMinimumWidth, QLineEdit::sizeHint().height()};
}

QSize RecorderCocoa::minimumSizeHint() const {
    return {kMinimumWidth, QLineEdit::minimumSizeHint().height()};
}

void RecorderCocoa::setMainMenu(std::weak_ptr<platform::Menu> menu) {
    mainMenu() = std::move(menu);
}

void RecorderCocoa::refresh() {
    const auto shortcut = getShortcut(m_shortcutName);
    setText(shortcut ? description(*shortcut) : QString());
}

void RecorderCocoa::startRecording() {
    if (m_isRecording)
        return;
    m_isRecording = true;
    m_heldKeys.clear();
    setPlaceholderText(kPressPlaceholder);
    setPaused(true);
    CarbonShortkeel::setRecordingSink([self = QPointer(this)](const Shortcut &shortcut) {
        if (self && self->m_isRecording)
            self->handleKey(key(shortcut), modifiers(shortcut));
    });
    qApp->installEventFilter(this);
}

void RecorderCocoa::endRecording() {
    if (!m_isRecording)
        return;
    m_isRecording = false;
    qApp->removeEventFilter(this);
    CarbonShortkeel::setRecordingSink({});
    setPaused(false);
    setPlaceholderText(kRecordPlaceholder);
}

void RecorderCocoa::stopRecording() {
    endRecording();
    if (hasFocus())
        clearFocus();
}

bool RecorderCocoa::event(QEvent *event) {
    if (m_isRecording && event->type() == QEvent::ShortcutOverride) {
        // Every combination is the field's while it records: the window's own shortcuts (Ctrl+W) and
        // Tab's focus chain must not take it first.
        event->accept();
        return true;
    }
    if (m_isRecording && event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    }
    return QLineEdit::event(event);
}

void RecorderCocoa::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    startRecording();
}

void RecorderCocoa::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    endRecording();
    // Another window came to the front: coming back to this one is no click into the field, and must not
    // record again.
    if (event->reason() == Qt::ActiveWindowFocusReason)
        clearFocus();
}

void RecorderCocoa::hideEvent(QHideEvent *event) {
    QLineEdit::hideEvent(event);
    // The window closed: shown again, it starts idle.
    stopRecording();
}

void RecorderCocoa::keyPressEvent(QKeyEvent *event) {
    if (!m_isRecording) {
        // Not typed into: the window may use the key (Escape closes a dialog).
        event->ignore();
        return;
    }
    event->accept();
    if (isModifierKey(event->key()))
        return;
    // The X key code, on X11 and on Wayland alike. Repeats arrive as presses alone (detectable
    // auto-repeat), so a held key is known by its missing release.
    const int keyCode = static_cast<int>(event->nativeScanCode());
    if (!m_heldKeys.insert(keyCode).second)
        return;
    handleKey(Key::fromX11KeyCode(event->nativeScanCode()),
              platform::desktop::modifiersFromQt(event->modifiers()));
}

void RecorderCocoa::keyReleaseEvent(QKeyEvent *event) {
    m_heldKeys.erase(static_cast<int>(event->nativeScanCode()));
    if (m_isRecording)
        event->accept();
    else
        event->ignore();
}

void RecorderCocoa::inputMethodEvent(QInputMethodEvent *event) {
    event->accept();
}

void RecorderCocoa::mousePressEvent(QMouseEvent *event) {
    // The middle button pastes the selection: text that is no shortcut.
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void RecorderCocoa::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void RecorderCocoa::contextMenuEvent(QContextMenuEvent *event) {
    event->accept();
}

bool RecorderCocoa::eventFilter(QObject *watched, QEvent *event) {
    if (m_isRecording && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QRect area = rect().adjusted(-kClickMargin, -kClickMargin, kClickMargin, kClickMargin);
        if (!area.contains(mapFromGlobal(mouse->globalPosition().toPoint())))
            stopRecording();
    }
    return QLineEdit::eventFilter(watched, event);
}

void RecorderCocoa::handleKey(std::optional<Key> key, platform::Modifiers modifiers) {
    const bool isPlain = modifiers == platform::Modifiers();
    if (isPlain && key == Key::tab) {
        focusNextChild();
        stopRecording();
        return;
    }
    if (isPlain && key == Key::escape) {
        stopRecording();
        return;
    }
    if (isPlain && (key == Key::delete_ || key == Key::forwardDelete)) {
        if (!text().isEmpty()) {
            clear();
            clearShortcut();
        }
        return;
    }
    // A plain or Shift-only key would be taken from every program; a function key may stand so.
    if ((modifiers & ~platform::Modifiers(platform::Modifier::shift)) == platform::Modifiers() &&
        !(key && isFunctionKey(key->rawValue))) {
        QApplication::beep();
        return;
    }
    if (!key) {
        QApplication::beep();
        return;
    }
    const Shortcut recorded = shortcut(*key, modifiers);

    // Two names on one shortcut would open two menus on top of each other at its press.
    for (const Name &holder : namesStoring(recorded)) {
        if (holder == m_shortcutName)
            continue;
        QString action = CarbonShortkeel::describe(holder);
        action[0] = action[0].toLower();
        refuse(conflictAlert(
            QStringLiteral("This keyboard shortcut cannot be used as it's already used to “%1”.")
                .arg(action)));
        return;
    }
    if (const auto menu = mainMenu().lock()) {
        if (const auto item = menuItemWithMatchingShortcut(recorded, *menu)) {
            refuse(conflictAlert(
                QStringLiteral(
                    "This keyboard shortcut cannot be used as it's already used by the “%1” menu item.")
                    .arg(item->title())));
            return;
        }
    }
    const bool isBareF12 = recorded == shortcut(Key::f12, {});
    if (!isBareF12 && isSystemShortcut(recorded)) {
        refuse(conflictAlert(
            QStringLiteral(
                "This keyboard shortcut cannot be used as it's already a system-wide keyboard shortcut."),
            QStringLiteral(
                "Most system-wide keyboard shortcuts can be changed in the keyboard settings of the "
                "desktop.")));
        return;
    }

    setText(description(recorded));
    const QPointer self(this);
    setShortcut(recorded, m_shortcutName);
    if (m_onChange)
        m_onChange(recorded);
    if (self)
        stopRecording();
}

void RecorderCocoa::clearShortcut() {
    const QPointer self(this);
    setShortcut(std::nullopt, m_shortcutName);
    if (m_onChange)
        m_onChange(std::nullopt);
    // A replacement can be recorded at once.
    if (self && isVisible())
        setFocus(Qt::OtherFocusReason);
}

void RecorderCocoa::refuse(std::shared_ptr<platform::Alert> alert) {
    stopRecording();
    QWindow *sheetWindow = window()->windowHandle();
    platform::AlertPresenter::shared().beginSheet(*alert, sheetWindow, [alert, self = QPointer(this)](int) {
        if (self && self->isVisible()) {
            self->activateWindow();
            self->setFocus(Qt::OtherFocusReason);
        }
    });
}

Recorder::Recorder(Name name, RecorderCocoa::OnChange onChange, QWidget *parent)
    : Recorder(static_cast<QWidget *>(nullptr), std::move(name), std::move(onChange), parent) {}

Recorder::Recorder(const QString &title, Name name, RecorderCocoa::OnChange onChange, QWidget *parent)
    : Recorder(new QLabel(title), std::move(name), std::move(onChange), parent) {
    static_cast<QLabel *>(m_label)->setBuddy(m_control);
}

Recorder::Recorder(QWidget *label, Name name, RecorderCocoa::OnChange onChange, QWidget *parent)
    : QWidget(parent)
    , m_label(label) {
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    if (m_label)
        row->addWidget(m_label);
    m_control = new RecorderCocoa(std::move(name), std::move(onChange), this);
    row->addWidget(m_control);
    row->addStretch();
}

} // namespace kestrova::Shortkeel
