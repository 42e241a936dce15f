#pragma once

#include "HotKeyBackend.h"
#include "HotKeyPresses.h"

#include <QAbstractNativeEventFilter>

#include <map>
#include <memory>

namespace kestrova::platform::desktop {

// Hot keys as passive key grabs on the X root window, made on the application's own X connection. Each
// chord is grabbed four times, with and without Caps Lock and Num Lock, so that neither lock stops it;
// a chord that another client holds is refused (all four or none). Key repeats are not reported: each
// physical press gives one press and one release. Only where the application runs on X11.
class HotKeyX11Backend final : public HotKeyBackend, private QAbstractNativeEventFilter {
public:
    // Null when the application does not run on X11.
    static std::unique_ptr<HotKeyX11Backend> create();
    ~HotKeyX11Backend() override;

    bool grab(std::uint32_t id, HotKeyChord chord, const HotKeyLabel &label) override;
    void release(std::uint32_t id) override;
    void releaseAll() override;

    // A trial grab, let go at once.
    std::optional<bool> isHeldElsewhere(HotKeyChord chord) override;

private:
    struct Connection;
    explicit HotKeyX11Backend(std::unique_ptr<Connection> connection);
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
    bool grabVariants(HotKeyChord chord);
    void ungrabVariants(HotKeyChord chord);

    std::unique_ptr<Connection> m_connection;
    std::map<std::uint32_t, HotKeyChord> m_chords;
    HotKeyPresses m_presses;
};

} // namespace kestrova::platform::desktop
