#include "platform/desktop/tray/ActivationToken.h"

#include <utility>

namespace kestrova::platform::desktop::ActivationToken {
namespace {

std::optional<QString> &kept() {
    static std::optional<QString> token;
    return token;
}

} // namespace

void provide(const QString &token) {
    if (token.isEmpty())
        return;
    kept() = token;
}

std::optional<QString> pending() {
    return kept();
}

void spendOnNextActivation(const QString &platformName) {
    const auto token = std::exchange(kept(), std::nullopt);
    if (token && platformName == QLatin1String("wayland"))
        qputenv("XDG_ACTIVATION_TOKEN", token->toUtf8());
}

} // namespace kestrova::platform::desktop::ActivationToken
