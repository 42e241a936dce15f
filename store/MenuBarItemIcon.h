#pragma once

#include "ArchivedValueCoding.h"
#include "MenuBarItemImage.h"
#include "RawTextEnum.h"

#include "foundation/json/DecodableDefault.h"
#include "foundation/json/JsonCoding.h"
#include "platform/values/Image.h"

#include <QString>

#include <optional>

namespace kestrova {

// The main status item's icon, as the user configured it. Stored as one JSON text (members "type",
// "symbolName", "customImage", "customImageIsTemplate", in that order; absent optionals are left out).
struct MenuBarItemIcon {
    enum class Kind { symbol, custom };

    Kind type = Kind::symbol;
    std::optional<QString> symbolName;
    std::optional<platform::Image> customImage;
    bool customImageIsTemplate = true;

    // The image for the status item; never missing: a symbol the set cannot draw, or a custom icon without
    // a picture, shows "eyes".
    MenuBarItemImage nsImage() const;

    Json toJson() const;
    // Throws when "type" or "customImageIsTemplate" is missing or wrong, or "customImage" is not an image
    // archive.
    static MenuBarItemIcon fromJson(const Json &json);
};

template <> struct RawTextCases<MenuBarItemIcon::Kind> {
    static constexpr std::array cases{std::pair{MenuBarItemIcon::Kind::symbol, "symbol"},
                                      std::pair{MenuBarItemIcon::Kind::custom, "custom"}};
};

namespace Defaults {
template <> struct Serializable<MenuBarItemIcon> : CodableSerializable<MenuBarItemIcon> {};
} // namespace Defaults

} // namespace kestrova
