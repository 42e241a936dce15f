#pragma once

#include <QString>

#include <optional>

// The focus a tray application may take for a window the user just asked for. On Wayland a client may
// only activate a window with a token from the compositor, which the status-notifier host hands over
// (ProvideXdgActivationToken) just before it forwards the user's click or menu choice; the window opened
// for that choice spends it. Main thread only.
namespace kestrova::platform::desktop::ActivationToken {

// Keeps `token` for the next window the application activates; a later token replaces it.
void provide(const QString &token);
// The token kept, if any, without spending it.
std::optional<QString> pending();
// Spends the kept token on the activation about to be asked for: on Wayland the shell integration reads
// it (as XDG_ACTIVATION_TOKEN) when a window requests activation. Elsewhere the token means nothing to
// the windowing system (X11 activation goes by the time of the user's last click) and is dropped.
void spendOnNextActivation(const QString &platformName);

} // namespace kestrova::platform::desktop::ActivationToken
