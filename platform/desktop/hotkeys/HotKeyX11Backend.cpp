#include "HotKeyX11Backend.h"

#include "platform/desktop/input/DesktopKeyboardState.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QLoggingCategory>

#include <xcb/xcb.h>
// A C header: one of its fields is named as a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <array>
#include <cstdlib>
#include <set>
#include <vector>

namespace kestrova::platform::desktop {

namespace {

Q_LOGGING_CATEGORY(lcHotKeys, "kestrova.hotkeys")

constexpr xcb_keysym_t kNumLockKeysym = 0xff7f;

// The modifier bit that Num Lock sets on this display (usually Mod2); 0 when no key is Num Lock.
std::uint16_t numLockMask(xcb_connection_t *connection) {
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const auto keyCount = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    auto *keyboard = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, keyCount), nullptr);
    auto *modifiers =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    std::uint16_t mask = 0;
    if (keyboard && modifiers) {
        const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(keyboard);
        const int perKey = keyboard->keysyms_per_keycode;
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(modifiers);
        for (int modifier = 0; modifier < 8 && !mask; ++modifier) {
            for (int slot = 0; slot < modifiers->keycodes_per_modifier && !mask; ++slot) {
                const xcb_keycode_t code = codes[modifier * modifiers->keycodes_per_modifier + slot];
                if (code < setup->min_keycode)
                    continue;
                for (int level = 0; level < perKey; ++level) {
                    if (keysyms[(code - setup->min_keycode) * perKey + level] == kNumLockKeysym)
                        mask = static_cast<std::uint16_t>(1u << modifier);
                }
            }
        }
    }
    std::free(keyboard);
    std::free(modifiers);
    return mask;
}

} // namespace

struct HotKeyX11Backend::Connection {
    xcb_connection_t *connection = nullptr;
    xcb_window_t root = 0;
    std::uint16_t numLock = 0;

    std::array<std::uint16_t, 4> lockVariants() const {
        return {0, XCB_MOD_MASK_LOCK, numLock, static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock)};
    }
};

std::unique_ptr<HotKeyX11Backend> HotKeyX11Backend::create() {
    auto *application = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!application || !application->connection())
        return nullptr;
    auto connection = std::make_unique<Connection>();
    connection->connection = application->connection();
    // The screen the application's windows are on: the default one of its display.
    const char *display = std::getenv("DISPLAY");
    int screenNumber = 0;
    if (display) {
        const QByteArray text(display);
        const int dot = text.lastIndexOf('.');
        if (dot > text.lastIndexOf(':'))
            screenNumber = text.mid(dot + 1).toInt();
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection->connection));
    for (int index = 0; screens.rem && index < screenNumber; ++index)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return nullptr;
    connection->root = screens.data->root;
    connection->numLock = numLockMask(connection->connection);
    // Held keys repeat as presses alone, without the release in between, so that a press can be told from
    // a repeat.
    if (auto *extension = xcb_xkb_use_extension_reply(
            connection->connection,
            xcb_xkb_use_extension(connection->connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
            nullptr)) {
        if (extension->supported) {
            std::free(xcb_xkb_per_client_flags_reply(
                connection->connection,
                xcb_xkb_per_client_flags(connection->connection, XCB_XKB_ID_USE_CORE_KBD,
                                         XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                         XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
                nullptr));
        }
        std::free(extension);
    }
    return std::unique_ptr<HotKeyX11Backend>(new HotKeyX11Backend(std::move(connection)));
}

HotKeyX11Backend::HotKeyX11Backend(std::unique_ptr<Connection> connection)
    : m_connection(std::move(connection)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

HotKeyX11Backend::~HotKeyX11Backend() {
    // The connection is the application's and closes with it, taking the grabs along: once the
    // application is gone there is nothing to let go, and nothing left to talk to.
    if (!QCoreApplication::instance())
        return;
    releaseAll();
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool HotKeyX11Backend::grabVariants(HotKeyChord chord) {
    xcb_connection_t *connection = m_connection->connection;
    std::vector<xcb_void_cookie_t> cookies;
    for (const std::uint16_t lock : m_connection->lockVariants()) {
        cookies.push_back(xcb_grab_key_checked(connection, /*owner_events=*/0, m_connection->root,
                                               static_cast<std::uint16_t>(chord.modifiers | lock),
                                               static_cast<xcb_keycode_t>(chord.keyCode), XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC));
    }
    bool refused = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        // The variants that were taken go too: a hot key that works only with Caps Lock on is no hot key.
        ungrabVariants(chord);
        qCInfo(lcHotKeys, "the hot key (key code %u, modifiers %u) is held by another program", chord.keyCode,
               chord.modifiers);
    } else {
        qCDebug(lcHotKeys, "grabbed the hot key (key code %u, modifiers %u)", chord.keyCode, chord.modifiers);
    }
    return !refused;
}

void HotKeyX11Backend::ungrabVariants(HotKeyChord chord) {
    for (const std::uint16_t lock : m_connection->lockVariants()) {
        xcb_ungrab_key(m_connection->connection, static_cast<xcb_keycode_t>(chord.keyCode),
                       m_connection->root, static_cast<std::uint16_t>(chord.modifiers | lock));
    }
    xcb_flush(m_connection->connection);
}

bool HotKeyX11Backend::grab(std::uint32_t id, HotKeyChord chord, const HotKeyLabel &) {
    if (chord.keyCode < 8 || chord.keyCode > 255 || (chord.modifiers & ~HotKeyPresses::chordModifiers) != 0)
        return false;
    release(id);
    // One grab per chord: a second one of this client would only replace the first.
    bool isHeld = false;
    for (const auto &[heldId, held] : m_chords)
        isHeld = isHeld || held == chord;
    if (!isHeld && !grabVariants(chord))
        return false;
    m_chords[id] = chord;
    // Grabbed again under a held key (its menu closed while it was down): the next repeat would otherwise
    // be a new press and open the menu again.
    if (!isHeld && DesktopKeyboardState::keyCodesHeld().contains(chord.keyCode))
        m_presses.grabbedWhileHeld(chord);
    return true;
}

void HotKeyX11Backend::release(std::uint32_t id) {
    const auto found = m_chords.find(id);
    if (found == m_chords.end())
        return;
    const HotKeyChord chord = found->second;
    m_chords.erase(found);
    for (const auto &[heldId, held] : m_chords) {
        if (held == chord)
            return;
    }
    m_presses.forget(chord);
    ungrabVariants(chord);
}

void HotKeyX11Backend::releaseAll() {
    std::set<HotKeyChord> chords;
    for (const auto &[id, chord] : m_chords)
        chords.insert(chord);
    m_chords.clear();
    m_presses.forgetAll();
    for (const HotKeyChord &chord : chords)
        ungrabVariants(chord);
    // A round trip: when this returns the server has let go, and another client may grab the keys.
    std::free(xcb_get_input_focus_reply(m_connection->connection,
                                        xcb_get_input_focus(m_connection->connection), nullptr));
}

std::optional<bool> HotKeyX11Backend::isHeldElsewhere(HotKeyChord chord) {
    for (const auto &[id, held] : m_chords) {
        if (held == chord)
            return false;
    }
    if (!grabVariants(chord))
        return true;
    ungrabVariants(chord);
    return false;
}

bool HotKeyX11Backend::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const std::uint8_t type = event->response_type & ~0x80;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *key = static_cast<const xcb_key_press_event_t *>(message);
    if (key->event != m_connection->root) {
        if (type == XCB_KEY_RELEASE)
            m_presses.releasedOutsideGrab(key->detail);
        return false;
    }
    const auto outcome = m_presses.keyEvent(m_chords, key->detail, key->state, type == XCB_KEY_PRESS);
    if (outcome.id)
        deliver(*outcome.id, outcome.isPress);
    return outcome.isHotKey;
}

} // namespace kestrova::platform::desktop
