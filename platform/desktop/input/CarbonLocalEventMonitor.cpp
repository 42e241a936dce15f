#include "platform/desktop/input/CarbonLocalEventMonitor.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

namespace kestrova::platform::desktop {

namespace {

struct TypeEntry {
    CarbonLocalEventMonitor::EventType type;
    CarbonLocalEventMonitor::EventTypeSpec spec;
};

constexpr quint32 kKeyboard = CarbonLocalEventMonitor::kKeyboardEventClass;
constexpr quint32 kMouse = CarbonLocalEventMonitor::kMouseEventClass;
using Type = CarbonLocalEventMonitor::EventType;

constexpr TypeEntry kTypeTable[] = {
    {Type::keyDown, {kKeyboard, 1}},       {Type::keyRepeat, {kKeyboard, 2}},
    {Type::keyUp, {kKeyboard, 3}},         {Type::keyModifiersChanged, {kKeyboard, 4}},
    {Type::mouseDown, {kMouse, 1}},        {Type::mouseUp, {kMouse, 2}},
    {Type::mouseMoved, {kMouse, 5}},       {Type::mouseDragged, {kMouse, 6}},
    {Type::mouseEntered, {kMouse, 8}},     {Type::mouseExited, {kMouse, 9}},
    {Type::mouseWheelMoved, {kMouse, 10}}, {Type::mouseScroll, {kMouse, 11}},
};

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
        return true;
    default:
        return false;
    }
}

} // namespace

CarbonLocalEventMonitor::CarbonLocalEventMonitor(std::set<EventType> events, bool useGlobalEventDispatcher,
                                                 Callback callback, QObject *parent)
    : QObject(parent)
    , m_events(std::move(events))
    , m_useGlobalEventDispatcher(useGlobalEventDispatcher)
    , m_callback(std::move(callback)) {}

CarbonLocalEventMonitor::~CarbonLocalEventMonitor() {
    stop();
}

CarbonLocalEventMonitor &CarbonLocalEventMonitor::start() {
    // A second start would otherwise leave the first handler behind for good.
    if (m_isInstalled || m_events.empty() || !QCoreApplication::instance())
        return *this;
    QCoreApplication::instance()->installEventFilter(this);
    m_isInstalled = true;
    return *this;
}

void CarbonLocalEventMonitor::stop() {
    if (!m_isInstalled)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_isInstalled = false;
    m_offeredPress.forget();
}

std::vector<CarbonLocalEventMonitor::EventTypeSpec>
CarbonLocalEventMonitor::eventTypeSpecs(const std::set<EventType> &events) {
    std::vector<EventTypeSpec> specs;
    for (const TypeEntry &entry : kTypeTable) {
        if (events.contains(entry.type))
            specs.push_back(entry.spec);
    }
    return specs;
}

std::optional<CarbonLocalEventMonitor::EventType> CarbonLocalEventMonitor::eventTypeOf(const QEvent &event) {
    switch (event.type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        const auto &key = static_cast<const QKeyEvent &>(event);
        if (isModifierKey(key.key()))
            return EventType::keyModifiersChanged;
        return key.isAutoRepeat() ? EventType::keyRepeat : EventType::keyDown;
    }
    case QEvent::KeyRelease: {
        const auto &key = static_cast<const QKeyEvent &>(event);
        if (isModifierKey(key.key()))
            return EventType::keyModifiersChanged;
        // Auto-repeat sends a release before each repeated press: only the last release is a key up.
        return key.isAutoRepeat() ? std::nullopt : std::optional(EventType::keyUp);
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return EventType::mouseDown;
    case QEvent::MouseButtonRelease:
        return EventType::mouseUp;
    case QEvent::MouseMove:
        return static_cast<const QMouseEvent &>(event).buttons() ? EventType::mouseDragged
                                                                 : EventType::mouseMoved;
    case QEvent::Enter:
        return EventType::mouseEntered;
    case QEvent::Leave:
        return EventType::mouseExited;
    case QEvent::Wheel:
        return EventType::mouseWheelMoved;
    default:
        return std::nullopt;
    }
}

bool CarbonLocalEventMonitor::eventFilter(QObject *watched, QEvent *event) {
    const auto type = eventTypeOf(*event);
    if (!type)
        return false;
    // A wheel event stands for both wheel kinds.
    const bool wanted = m_events.contains(*type) ||
                        (*type == EventType::mouseWheelMoved && m_events.contains(EventType::mouseScroll));
    if (!wanted || !m_callback)
        return false;
    const bool offerHere = m_delivery.shouldOffer(watched, event);

    if (event->type() == QEvent::KeyPress && m_offeredPress.isPending(*static_cast<QKeyEvent *>(event))) {
        // The press of an offered override takes its answer wherever it arrives first (the widget window
        // included, which then never hands it on), and is offered no more.
        if (m_offeredPress.wasConsumed()) {
            m_offeredPress.forget();
            return true;
        }
        if (offerHere)
            m_offeredPress.forget();
        return false;
    }
    if (!offerHere)
        return false;
    if (event->type() != QEvent::ShortcutOverride)
        return offer(watched, event);

    const QPointer<CarbonLocalEventMonitor> self(this);
    const bool consumed = offer(watched, event);
    if (self)
        m_offeredPress.offered(*static_cast<QKeyEvent *>(event), consumed);
    if (!consumed)
        return false;
    // Accepted, the override keeps shortcuts from running and the press comes to the receiver next.
    event->accept();
    return true;
}

bool CarbonLocalEventMonitor::offer(QObject *watched, QEvent *event) {
    // The callback may stop or free the monitor; the answer still stands.
    const Callback callback = m_callback;
    return callback(watched, event);
}

} // namespace kestrova::platform::desktop
