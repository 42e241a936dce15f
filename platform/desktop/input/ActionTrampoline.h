#pragma once

#include <QEvent>
#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>

class QAbstractButton;
class QAction;

namespace kestrova::platform::desktop {

// The input that set an action off: the last mouse or key event the application received.
struct InputEvent {
    QEvent::Type type = QEvent::None;
    Qt::MouseButton button = Qt::NoButton;
    Qt::KeyboardModifiers modifiers = {};
    QPoint globalPosition = {};
};

// The last input event received since the first trampoline was made; none before any input.
std::optional<InputEvent> currentEvent();

// Gives a control a closure as its action, run with the current input event. The trampoline is a child
// of its control, so it lives as long as the control; giving the control another action frees the
// previous trampoline. An action that fires without any input event seen is logged and dropped.
class ActionTrampoline : public QObject {
    Q_OBJECT

public:
    using Action = std::function<void(const InputEvent &event)>;

    ActionTrampoline(Action action, QObject *target);
    void handleAction();

private:
    Action m_action;
};

ActionTrampoline *onAction(QAction *action, ActionTrampoline::Action closure);
ActionTrampoline *onAction(QAbstractButton *button, ActionTrampoline::Action closure);

} // namespace kestrova::platform::desktop
