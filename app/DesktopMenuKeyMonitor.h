#pragma once

#include "menubar/FolderMenuHooks.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>

class QKeyEvent;

namespace kestrova {
namespace platform::desktop {
class CarbonLocalEventMonitor;
}

// The folder menus' key monitor on this desktop: an application-wide CarbonLocalEventMonitor for key
// presses, which sees them while an open menu holds the keyboard. Each press is offered to the callback once,
// as a MenuKeyEvent with the stored key code of the key (the one its shortcuts are stored with; negative
// for a key that no shortcut names) and the held modifiers; the callback's true consumes it. A held key's
// repeats are offered to nobody: they are consumed when its press was. Made stopped;
// destroying it stops it. Main thread only.
class DesktopMenuKeyMonitor : public MenuKeyMonitor {
public:
    explicit DesktopMenuKeyMonitor(std::function<bool(const MenuKeyEvent &)> callback);
    ~DesktopMenuKeyMonitor() override;
    DesktopMenuKeyMonitor(const DesktopMenuKeyMonitor &) = delete;
    DesktopMenuKeyMonitor &operator=(const DesktopMenuKeyMonitor &) = delete;

    void start() override;
    void stop() override;
    bool isRunning() const;

    static MenuKeyEvent menuKeyEvent(const QKeyEvent &event);

private:
    // The X key codes of the keys down, and of those whose press the callback took (or that were down
    // when the monitor started).
    struct HeldKeys {
        std::set<std::uint32_t> held;
        std::set<std::uint32_t> taken;
    };

    std::shared_ptr<HeldKeys> m_keys;
    std::unique_ptr<platform::desktop::CarbonLocalEventMonitor> m_monitor;
};

} // namespace kestrova
