#pragma once

#include "platform/observation/Binding.h"
#include "platform/observation/Subscription.h"
#include "platform/values/Color.h"

#include <QColor>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QToolButton;

namespace kestrova {

class Debouncer;

// A colour well for a status icon's colour that may be unset, with a "Reset" button that unsets it. While
// no colour is set the well shows the default: the one given, or else the ink a template icon has on the
// desktop's present look (followed, a second after each change of the look). Picking a colour (opacity
// allowed) writes it through the binding. Main thread only.
class MenuBarColorPicker : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kAppearanceDebounce{1000};

    // `defaultColor` is asked each time the well is drawn; it may answer nothing.
    MenuBarColorPicker(QString label, platform::Binding<std::optional<platform::Color>> color,
                       std::function<std::optional<platform::Color>()> defaultColor = {},
                       QWidget *parent = nullptr);
    ~MenuBarColorPicker() override;

    // What the well shows now.
    QColor shownColor() const;
    // The ink of the desktop's look, as last read.
    QColor rememberedDefaultColor() const { return m_rememberedDefault; }
    QToolButton *well() const { return m_well; }
    QToolButton *resetButton() const { return m_resetButton; }
    QLabel *label() const { return m_label; }

    // What the colour dialog's choice does: writes `color` to the binding.
    void chooseColor(const QColor &color);
    void refresh();

Q_SIGNALS:
    void colorChanged();

private:
    void readAppearance();
    void openColorDialog();

    platform::Binding<std::optional<platform::Color>> m_color;
    std::function<std::optional<platform::Color>()> m_defaultColor;
    QColor m_rememberedDefault = Qt::transparent;
    QLabel *m_label;
    QToolButton *m_well;
    QToolButton *m_resetButton;
    std::unique_ptr<Debouncer> m_appearanceDebouncer;
    platform::Subscription m_appearanceSubscription;
};

} // namespace kestrova
