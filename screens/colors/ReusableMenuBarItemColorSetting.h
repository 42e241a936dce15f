#pragma once

#include "platform/observation/Binding.h"
#include "platform/values/Color.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace kestrova {

class ColorCircleButton;
class MenuBarColorPicker;
namespace Defaults {
class DefaultsObservation;
}

// A status icon's light and dark colours: a round swatch that opens a small window with a palette of ten
// colours (each sets both colours) and a colour row for light and one for dark backgrounds. Without a dark
// colour the light one serves on dark panels too; without either the icon keeps the panel's own ink. Every
// change is written through at once. Main thread only.
class ReusableMenuBarItemColorSetting : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPaletteSize = 10;
    // Blue, orange, pink, mint, purple, red, cyan, green, yellow, teal.
    static const std::array<platform::Color, kPaletteSize> &paletteColors();

    ReusableMenuBarItemColorSetting(platform::Binding<std::optional<platform::Color>> lightColor,
                                    platform::Binding<std::optional<platform::Color>> darkColor,
                                    QWidget *parent = nullptr);
    ~ReusableMenuBarItemColorSetting() override;

    // The colours of the stored folder with `folderId`.
    static ReusableMenuBarItemColorSetting *forFolder(QUuid folderId, QWidget *parent = nullptr);

    ColorCircleButton *swatch() const { return m_swatch; }
    void showPopover();
    bool isPopoverPresented() const { return !m_popover.isNull(); }
    // While the popover is up: its palette swatches (in palette order) and its two rows.
    std::vector<ColorCircleButton *> paletteButtons() const;
    MenuBarColorPicker *lightRow() const;
    MenuBarColorPicker *darkRow() const;
    QWidget *popover() const { return m_popover; }

    // What a palette swatch does: sets both colours.
    void choosePaletteColor(const platform::Color &color);
    // Shows the bound colours again, after they changed elsewhere.
    void refresh();

Q_SIGNALS:
    void colorsChanged();

private:
    platform::Binding<std::optional<platform::Color>> m_lightColor;
    platform::Binding<std::optional<platform::Color>> m_darkColor;
    ColorCircleButton *m_swatch;
    QPointer<QWidget> m_popover;
    std::shared_ptr<Defaults::DefaultsObservation> m_observation;
};

} // namespace kestrova
