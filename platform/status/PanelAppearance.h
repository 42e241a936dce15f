#pragma once

#include "platform/observation/Subscription.h"
#include "platform/status/SymbolImage.h"

#include <functional>
#include <memory>
#include <optional>

namespace kestrova::platform {

// Whether the desktop looks light or dark, which decides the colour a status icon is drawn in and the
// default ink the colour pickers show. The desktop states its preference where it can (the desktop portal's
// colour scheme); where it states none, the application palette's window colour tells. Main thread only.
class PanelAppearance {
public:
    virtual ~PanelAppearance();

    // The desktop's stated preference, or nothing where it states none.
    virtual std::optional<SymbolImage::Appearance> preferredAppearance() const { return std::nullopt; }
    // The stated preference, else what the palette says.
    SymbolImage::Appearance appearance() const;

    // Calls `handler` after every change of the look (the preference, or the palette); keeps it for as long
    // as the subscription lives.
    Subscription observe(std::function<void()> handler);

    // The desktop installs its reader at start-up; until then (and in tests) only the palette counts.
    static PanelAppearance &shared();
    static void setShared(std::shared_ptr<PanelAppearance> appearance);

    // The look the palette's window colour gives.
    static SymbolImage::Appearance paletteAppearance();

protected:
    // For readers: tells every observer that the look may have changed.
    void notifyChange();

private:
    struct Observers;
    std::shared_ptr<Observers> observers();
    std::shared_ptr<Observers> m_observers;
};

} // namespace kestrova::platform
