#pragma once

#include "foundation/app/KitIdentities.h"
#include "platform/values/Image.h"
#include "platform/status/SymbolImage.h"

#include <QImage>

#include <variant>

namespace kestrova {

// What a status item draws: a system symbol (always a template, tinted by the status item) or the user's
// own picture, drawn as a template or in its own colours.
class MenuBarItemImage {
public:
    explicit MenuBarItemImage(platform::SymbolImage symbol)
        : m_content(std::move(symbol)) {}
    MenuBarItemImage(platform::Image image, bool isTemplate)
        : m_content(std::move(image))
        , m_isTemplate(isTemplate) {}

    // Null when the image is the user's picture.
    const platform::SymbolImage *symbol() const { return std::get_if<platform::SymbolImage>(&m_content); }
    // Null when the image is a symbol.
    const platform::Image *customImage() const { return std::get_if<platform::Image>(&m_content); }
    bool isTemplate() const { return m_isTemplate; }

    // The pixels: a symbol at its point size, a picture as it was supplied.
    QImage image(qreal devicePixelRatio = 1.0) const {
        if (const auto *symbolImage = symbol())
            return symbolImage->image(devicePixelRatio);
        return customImage()->toQImage();
    }

    // The picture drawn into `size`, still a template when it was one; a symbol, drawn sharp at any size,
    // stays as it is.
    MenuBarItemImage resized(const QSize &size) const {
        const platform::Image *picture = customImage();
        if (!picture)
            return *this;
        const auto scaled = platform::Image::fromQImage(kestrova::resized(picture->toQImage(), size));
        return scaled ? MenuBarItemImage(*scaled, m_isTemplate) : *this;
    }

private:
    std::variant<platform::SymbolImage, platform::Image> m_content;
    bool m_isTemplate = true;
};

} // namespace kestrova
