#include "DesktopMenuKeyMonitor.h"

#include "integration/ShortkeelKeys.h"
#include "platform/desktop/input/CarbonLocalEventMonitor.h"
#include "platform/desktop/input/DesktopKeyboardState.h"
#include "platform/desktop/menus/MenuPresenter.h"

#include <QKeyEvent>

namespace kestrova {

namespace {

// What a key that no shortcut can name reports: no stored key code is negative.
constexpr std::int64_t kNoKey = -1;

} // namespace

DesktopMenuKeyMonitor::DesktopMenuKeyMonitor(std::function<bool(const MenuKeyEvent &)> callback)
    : m_keys(std::make_shared<HeldKeys>()) {
    using platform::desktop::CarbonLocalEventMonitor;
    using Type = CarbonLocalEventMonitor::EventType;
    m_monitor = std::make_unique<CarbonLocalEventMonitor>(
        std::set{Type::keyDown, Type::keyRepeat, Type::keyUp}, /*useGlobalEventDispatcher=*/true,
        [callback = std::move(callback), keys = m_keys](QObject *, QEvent *event) {
            const auto &key = *static_cast<QKeyEvent *>(event);
            const std::uint32_t keyCode = key.nativeScanCode();
            const auto type = CarbonLocalEventMonitor::eventTypeOf(key);
            if (type == Type::keyUp) {
                keys->held.erase(keyCode);
                keys->taken.erase(keyCode);
                return false;
            }
            // A held key is one press however long it is held. On X11 a repeat is a press like any other
            // (the hot keys ask for detectable auto-repeat on the application's connection), so a press of
            // a key that is down already is a repeat too. It goes where its press went: nowhere when the
            // press was taken (or opened the menu), else to the menu, whose arrow keys repeat.
            if (type == Type::keyRepeat || keys->held.contains(keyCode))
                return keys->taken.contains(keyCode);
            keys->held.insert(keyCode);
            const bool isTaken = callback && callback(menuKeyEvent(key));
            if (isTaken)
                keys->taken.insert(keyCode);
            return isTaken;
        });
}

DesktopMenuKeyMonitor::~DesktopMenuKeyMonitor() = default;

void DesktopMenuKeyMonitor::start() {
    // The keys down when the menu opens (the hot key that opened it, held) are presses that went
    // elsewhere: their repeats and releases arrive here once the menu holds the keyboard.
    m_keys->held = platform::desktop::DesktopKeyboardState::keyCodesHeld();
    m_keys->taken = m_keys->held;
    m_monitor->start();
}

void DesktopMenuKeyMonitor::stop() {
    m_monitor->stop();
}

bool DesktopMenuKeyMonitor::isRunning() const {
    return m_monitor->isInstalled();
}

MenuKeyEvent DesktopMenuKeyMonitor::menuKeyEvent(const QKeyEvent &event) {
    // The native scan code is the X key code, on X11 and on Wayland alike.
    const auto key = Shortkeel::Key::fromX11KeyCode(event.nativeScanCode());
    const bool isPress = event.type() == QEvent::KeyPress || event.type() == QEvent::ShortcutOverride;
    return {isPress ? MenuKeyEvent::Type::keyDown
                    : (event.type() == QEvent::KeyRelease ? MenuKeyEvent::Type::keyUp
                                                          : MenuKeyEvent::Type::other),
            key ? key->rawValue : kNoKey, platform::desktop::modifiersFromQt(event.modifiers())};
}

} // namespace kestrova
