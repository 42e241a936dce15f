#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include <QString>

namespace kestrova::platform::desktop {

// A key of this keyboard as the window system names it (the X key code, 8 above the evdev code) with
// core modifier bits: Shift 1, Control 4, Alt (Mod1) 8, Super (Mod4) 64.
struct HotKeyChord {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;

    static constexpr std::uint32_t shiftMask = 1;
    static constexpr std::uint32_t controlMask = 4;
    static constexpr std::uint32_t altMask = 8;
    static constexpr std::uint32_t superMask = 64;

    bool operator==(const HotKeyChord &) const = default;
    auto operator<=>(const HotKeyChord &) const = default;
};

// What a hot key is to the user: a name that stays the same across runs (the shortcut's stored name) and
// what pressing it does ("Open the menu of Documents"). A desktop that lists an application's shortcuts
// shows these and keeps the user's own choices of keys under the name.
struct HotKeyLabel {
    QString name;
    QString description;

    bool operator==(const HotKeyLabel &) const = default;
};

// Where system-wide hot keys are grabbed and where their presses come from: the X server, the desktop's
// shortcut portal, or a fake in tests. Each grab carries the caller's identifier, and presses and
// releases come back with it on the main thread. Main thread only.
class HotKeyBackend {
public:
    // `isPress` false: the key was released.
    using Handler = std::function<void(std::uint32_t id, bool isPress)>;

    virtual ~HotKeyBackend() = default;

    // Makes `chord` a hot key reported under `id`. False when it is refused (another program holds it, or
    // the desktop has no way to grab keys); a refusal leaves nothing grabbed.
    virtual bool grab(std::uint32_t id, HotKeyChord chord, const HotKeyLabel &label) = 0;
    // Lets go of the hot key grabbed under `id`, for a while (an open menu takes the keys) or for good;
    // an unknown identifier is ignored. A desktop that keeps a list of the application's shortcuts may
    // keep its label there until forget() says the user no longer has it.
    virtual void release(std::uint32_t id) = 0;
    // The shortcut named so is gone (cleared or replaced by none): a desktop's list keeps it no longer.
    virtual void forget(const QString &) {}
    // Lets go of every hot key, before another instance of the application takes them.
    virtual void releaseAll() = 0;
    // The keys the desktop actually gave the hot key under `id`, where the desktop chooses them (the user may
    // have changed them); nothing where the chord grabbed is what the keys are.
    virtual std::optional<QString> assignedTrigger(std::uint32_t) const { return std::nullopt; }
    // Whether another program holds `chord` as its own hot key (false for one this backend holds);
    // nothing where the desktop does not tell.
    virtual std::optional<bool> isHeldElsewhere(HotKeyChord) { return std::nullopt; }

    // Set once, by the owner of the identifiers.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Told after the desktop assigned keys to hot keys (or the user changed them there), so that what shows
    // a shortcut can show the keys that really press it.
    void setAssignedTriggersObserver(std::function<void()> observer) {
        m_assignedTriggersObserver = std::move(observer);
    }
    bool hasHandler() const { return static_cast<bool>(m_handler); }

    // While a shortcut is being recorded, the presses and releases of the hot keys go to `sink` instead of
    // the handler: a grabbed chord never reaches the focused window, so without it a combination already
    // grabbed could not be recorded again. Null hands them back to the handler.
    void setRecordingSink(Handler sink) { m_recordingSink = std::move(sink); }

protected:
    void assignedTriggersChanged() const {
        if (m_assignedTriggersObserver)
            m_assignedTriggersObserver();
    }
    void deliver(std::uint32_t id, bool isPress) const {
        if (m_recordingSink)
            m_recordingSink(id, isPress);
        else if (m_handler)
            m_handler(id, isPress);
    }

private:
    Handler m_handler;
    Handler m_recordingSink;
    std::function<void()> m_assignedTriggersObserver;
};

// Where the desktop offers no way to grab keys: every hot key is refused.
class NoHotKeyBackend final : public HotKeyBackend {
public:
    bool grab(std::uint32_t, HotKeyChord, const HotKeyLabel &) override { return false; }
    void release(std::uint32_t) override {}
    void releaseAll() override {}
};

} // namespace kestrova::platform::desktop
