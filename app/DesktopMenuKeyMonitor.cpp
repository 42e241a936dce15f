#include "DesktopMenuKeyMonitor.h"

#include "integration/ShortkeelKeys.h"
#include "platform/desktop/input/CarbonLocalEventMonitor.h"
#include "platform/desktop/menus/MenuPresenter.h"

#include <QKeyEvent>

namespace kestrova {

namespace {

// What a key that no shortcut can name reports: no stored key code is negative.
constexpr std::int64_t kNoKey = -1;

} // namespace

DesktopMenuKeyMonitor::DesktopMenuKeyMonitor(std::function<bool(const MenuKeyEvent &)> callback) {
    using platform::desktop::CarbonLocalEventMonitor;
    m_monitor = std::make_unique<CarbonLocalEventMonitor>(
        std::set{CarbonLocalEventMonitor::EventType::keyDown}, /*useGlobalEventDispatcher=*/true,
        [callback = std::move(callback)](QObject *, QEvent *event) {
            // Key presses only, and their shortcut overrides, which come first.
            return callback && callback(menuKeyEvent(*static_cast<QKeyEvent *>(event)));
        });
}

DesktopMenuKeyMonitor::~DesktopMenuKeyMonitor() = default;

void DesktopMenuKeyMonitor::start() {
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
