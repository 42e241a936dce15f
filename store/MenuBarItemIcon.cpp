#include "MenuBarItemIcon.h"

#include "ArchivedValueCoding.h"

namespace kestrova {

namespace {
const QString kFallbackSymbol = QStringLiteral("eyes");
}

MenuBarItemImage MenuBarItemIcon::nsImage() const {
    using platform::SymbolImage;
    if (type == Kind::custom) {
        if (customImage)
            return MenuBarItemImage(*customImage, customImageIsTemplate);
        return MenuBarItemImage(SymbolImage(kFallbackSymbol, SymbolImage::kLargePointSize));
    }
    const QString name = symbolName.value_or(kFallbackSymbol);
    // The size follows the name that was asked for, also when the fallback symbol draws in its place.
    const qreal pointSize = SymbolImage::standardPointSize(name);
    return MenuBarItemImage(SymbolImage(SymbolImage::isKnownName(name) ? name : kFallbackSymbol, pointSize,
                                        SymbolImage::Weight::regular));
}

Json MenuBarItemIcon::toJson() const {
    Json json = Json::object();
    json["type"] = kestrova::toJson(type);
    if (symbolName)
        json["symbolName"] = kestrova::toJson(*symbolName);
    if (customImage)
        json["customImage"] = kestrova::toJson(*customImage);
    json["customImageIsTemplate"] = customImageIsTemplate;
    return json;
}

MenuBarItemIcon MenuBarItemIcon::fromJson(const Json &json) {
    MenuBarItemIcon icon;
    icon.type = kestrova::fromJson<Kind>(requiredMember(json, "type"));
    icon.symbolName = decodeOrDefault<std::optional<QString>>(json, "symbolName", std::nullopt);
    icon.customImage = decodeOrDefault<std::optional<platform::Image>>(json, "customImage", std::nullopt);
    icon.customImageIsTemplate = kestrova::fromJson<bool>(requiredMember(json, "customImageIsTemplate"));
    return icon;
}

} // namespace kestrova
