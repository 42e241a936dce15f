#include "platform/desktop/input/ActionTrampoline.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>

namespace kestrova::platform::desktop {

Q_LOGGING_CATEGORY(lcTrampoline, "kestrova.platform.desktop")

namespace {

constexpr const char *kTrampolineName = "kestrovaActionTrampoline";

// Notes every mouse button and key event the application receives.
class CurrentEventRecorder : public QObject {
public:
    std::optional<InputEvent> event;

protected:
    bool eventFilter(QObject *watched, QEvent *received) override {
        switch (received->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(received);
            event = InputEvent{received->type(), mouse->button(), mouse->modifiers(),
                               mouse->globalPosition().toPoint()};
            break;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            event = InputEvent{
                received->type(), Qt::NoButton, static_cast<QKeyEvent *>(received)->modifiers(), {}};
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, received);
    }
};

CurrentEventRecorder *recorder() {
    static CurrentEventRecorder *instance = [] {
        auto *created = new CurrentEventRecorder;
        if (QCoreApplication::instance()) {
            created->setParent(QCoreApplication::instance());
            QCoreApplication::instance()->installEventFilter(created);
        }
        return created;
    }();
    return instance;
}

ActionTrampoline *replaceTrampoline(QObject *target, ActionTrampoline::Action closure) {
    // One action per control: the previous trampoline goes, with its connection.
    delete target->findChild<ActionTrampoline *>(QLatin1StringView(kTrampolineName),
                                                 Qt::FindDirectChildrenOnly);
    recorder();
    return new ActionTrampoline(std::move(closure), target);
}

} // namespace

std::optional<InputEvent> currentEvent() {
    return recorder()->event;
}

ActionTrampoline::ActionTrampoline(Action action, QObject *target)
    : QObject(target)
    , m_action(std::move(action)) {
    setObjectName(QLatin1StringView(kTrampolineName));
}

void ActionTrampoline::handleAction() {
    const std::optional<InputEvent> event = currentEvent();
    if (!event) {
        qCWarning(lcTrampoline) << "An action fired without any input event; it was not run.";
        return;
    }
    // The action may give the control a new action, which frees this trampoline.
    const Action action = m_action;
    if (action)
        action(*event);
}

ActionTrampoline *onAction(QAction *action, ActionTrampoline::Action closure) {
    ActionTrampoline *trampoline = replaceTrampoline(action, std::move(closure));
    QObject::connect(action, &QAction::triggered, trampoline, &ActionTrampoline::handleAction);
    return trampoline;
}

ActionTrampoline *onAction(QAbstractButton *button, ActionTrampoline::Action closure) {
    ActionTrampoline *trampoline = replaceTrampoline(button, std::move(closure));
    QObject::connect(button, &QAbstractButton::clicked, trampoline, &ActionTrampoline::handleAction);
    return trampoline;
}

} // namespace kestrova::platform::desktop
