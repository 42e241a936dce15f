#pragma once

#include "platform/status/PanelAppearance.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

#include <memory>
#include <optional>

namespace kestrova::platform::desktop {

class PortalSettingListener;

// The desktop's light or dark preference as the desktop portal states it (the setting "color-scheme" of
// "org.freedesktop.appearance": 1 dark, 2 light, 0 no preference), read once at start and followed through
// the portal's change signal. Where no portal runs, or it states no preference, the palette decides.
class PortalPanelAppearance : public PanelAppearance {
public:
    static constexpr auto kNamespace = "org.freedesktop.appearance";
    static constexpr auto kKey = "color-scheme";

    // Starts reading on `bus`; the answer arrives later (until then only the palette counts).
    static std::shared_ptr<PortalPanelAppearance> create(const QDBusConnection &bus);
    ~PortalPanelAppearance() override;

    std::optional<SymbolImage::Appearance> preferredAppearance() const override { return m_preference; }
    // Whether the first read has been answered (with a preference or with none).
    bool hasReadPreference() const { return m_hasRead; }

    // The colour scheme in a portal value (which may come wrapped in variants); nothing for a value of
    // another kind, which says nothing about the look.
    static std::optional<uint> colorSchemeFromValue(const QVariant &value);
    // The preference a colour scheme stands for: 1 dark, 2 light, anything else none.
    static std::optional<SymbolImage::Appearance> appearanceForColorScheme(uint scheme);

private:
    explicit PortalPanelAppearance(const QDBusConnection &bus);
    // Takes the preference a portal value states; a value of another kind is passed over.
    void readValue(const QVariant &value);
    void setPreference(std::optional<SymbolImage::Appearance> preference);

    QDBusConnection m_bus;
    std::unique_ptr<PortalSettingListener> m_listener;
    std::optional<SymbolImage::Appearance> m_preference;
    bool m_hasRead = false;
};

} // namespace kestrova::platform::desktop
