#include "ReusableMenuBarItemColorSetting.h"

#include "ColorCircleButton.h"
#include "MenuBarColorPicker.h"

#include "screens/icons/FolderFieldBinding.h"
#include "store/DefaultsObservation.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrova {

namespace {

constexpr qreal kSwatchSize = 20;
constexpr qreal kPaletteSwatchSize = 26;
constexpr int kPopoverWidth = 300;
constexpr int kPaletteHeight = 110;
constexpr int kPaletteColumns = 5;
constexpr int kRowSpacing = 12;
const QString kPaletteProperty = QStringLiteral("paletteIndex");
const QString kLightRowName = QStringLiteral("lightColorRow");
const QString kDarkRowName = QStringLiteral("darkColorRow");

platform::Color rgb(int red, int green, int blue) {
    return platform::Color(red / 255.0, green / 255.0, blue / 255.0);
}

} // namespace

const std::array<platform::Color, ReusableMenuBarItemColorSetting::kPaletteSize> &
ReusableMenuBarItemColorSetting::paletteColors() {
    // The system's named colours as they look on a light background: a stored colour is one colour, and
    // the user picks a separate one for dark backgrounds when it should differ.
    static const std::array<platform::Color, kPaletteSize> colors{
        rgb(0, 122, 255), rgb(255, 149, 0),  rgb(255, 45, 85), rgb(0, 199, 190), rgb(175, 82, 222),
        rgb(255, 59, 48), rgb(50, 173, 230), rgb(52, 199, 89), rgb(255, 204, 0), rgb(48, 176, 199),
    };
    return colors;
}

ReusableMenuBarItemColorSetting::ReusableMenuBarItemColorSetting(
    platform::Binding<std::optional<platform::Color>> lightColor,
    platform::Binding<std::optional<platform::Color>> darkColor, QWidget *parent)
    : QWidget(parent)
    , m_lightColor(std::move(lightColor))
    , m_darkColor(std::move(darkColor))
    , m_swatch(new ColorCircleButton(Qt::transparent, /*shouldShowIcon=*/true, kSwatchSize)) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_swatch);
    layout->addStretch(1);
    m_swatch->setAccessibleName(QStringLiteral("Pick color"));
    m_swatch->setToolTip(QStringLiteral("Pick color"));
    connect(m_swatch, &QAbstractButton::clicked, this, &ReusableMenuBarItemColorSetting::showPopover);
}

ReusableMenuBarItemColorSetting::~ReusableMenuBarItemColorSetting() {
    delete m_popover;
}

ReusableMenuBarItemColorSetting *ReusableMenuBarItemColorSetting::forFolder(QUuid folderId, QWidget *parent) {
    using OptionalColor = std::optional<platform::Color>;
    auto *setting = new ReusableMenuBarItemColorSetting(
        folderFieldBinding<OptionalColor>(
            folderId, [](const Folder &folder) { return folder.lightColor; },
            [](Folder &folder, const OptionalColor &color) { folder.lightColor = color; }),
        folderFieldBinding<OptionalColor>(
            folderId, [](const Folder &folder) { return folder.darkColor; },
            [](Folder &folder, const OptionalColor &color) { folder.darkColor = color; }),
        parent);
    setting->m_observation =
        Defaults::observe({std::cref<Defaults::AnyKey>(Defaults::Keys::folders())}, {},
                          [setting] { QTimer::singleShot(0, setting, [setting] { setting->refresh(); }); });
    return setting;
}

void ReusableMenuBarItemColorSetting::showPopover() {
    if (m_popover) {
        m_popover->raise();
        m_popover->activateWindow();
        return;
    }
    // A small window of its own rather than a popup: the colour dialog opened from a row must not close it.
    auto *popover = new QFrame(nullptr, Qt::Dialog);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setWindowTitle(QStringLiteral("Icon Color"));
    popover->setMaximumWidth(kPopoverWidth);
    popover->setMinimumWidth(kPopoverWidth);
    auto *layout = new QVBoxLayout(popover);
    layout->setSpacing(0);

    auto *grid = new QWidget;
    grid->setFixedHeight(kPaletteHeight);
    auto *gridLayout = new QGridLayout(grid);
    const auto &colors = paletteColors();
    for (int index = 0; index < kPaletteSize; ++index) {
        auto *button =
            new ColorCircleButton(colors[index].toQColor(), /*shouldShowIcon=*/false, kPaletteSwatchSize);
        button->setProperty(kPaletteProperty.toUtf8().constData(), index);
        button->setAccessibleName(QStringLiteral("Palette color %1").arg(index + 1));
        connect(button, &QAbstractButton::clicked, this,
                [this, index] { choosePaletteColor(paletteColors()[index]); });
        gridLayout->addWidget(button, index / kPaletteColumns, index % kPaletteColumns, Qt::AlignCenter);
    }
    layout->addWidget(grid);
    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    auto *rows = new QWidget;
    auto *rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setSpacing(kRowSpacing);
    auto *light = new MenuBarColorPicker(QStringLiteral("For light background:"), m_lightColor);
    light->setObjectName(kLightRowName);
    // The dark row falls back on the light colour, as the status icon does.
    auto *dark = new MenuBarColorPicker(QStringLiteral("For dark background:"), m_darkColor,
                                        [binding = m_lightColor] { return binding.get(); });
    dark->setObjectName(kDarkRowName);
    dark->setToolTip(QStringLiteral("Choose a different color when using a dark wallpaper."));
    for (MenuBarColorPicker *row : {light, dark}) {
        rowsLayout->addWidget(row);
        connect(row, &MenuBarColorPicker::colorChanged, this, [this] {
            refresh();
            Q_EMIT colorsChanged();
        });
    }
    layout->addWidget(rows);
    m_popover = popover;
    refresh();
    popover->adjustSize();
    popover->move(
        m_swatch->mapToGlobal(QPoint(m_swatch->width() / 2 - popover->width() / 2, m_swatch->height())));
    popover->show();
}

std::vector<ColorCircleButton *> ReusableMenuBarItemColorSetting::paletteButtons() const {
    std::vector<ColorCircleButton *> buttons(kPaletteSize, nullptr);
    if (!m_popover)
        return {};
    for (auto *button : m_popover->findChildren<ColorCircleButton *>()) {
        const QVariant index = button->property(kPaletteProperty.toUtf8().constData());
        if (index.isValid())
            buttons[index.toInt()] = button;
    }
    return buttons;
}

MenuBarColorPicker *ReusableMenuBarItemColorSetting::lightRow() const {
    return m_popover ? m_popover->findChild<MenuBarColorPicker *>(kLightRowName) : nullptr;
}

MenuBarColorPicker *ReusableMenuBarItemColorSetting::darkRow() const {
    return m_popover ? m_popover->findChild<MenuBarColorPicker *>(kDarkRowName) : nullptr;
}

void ReusableMenuBarItemColorSetting::choosePaletteColor(const platform::Color &color) {
    m_lightColor.set(color);
    m_darkColor.set(color);
    refresh();
    Q_EMIT colorsChanged();
}

void ReusableMenuBarItemColorSetting::refresh() {
    const std::optional<platform::Color> light = m_lightColor.get();
    const std::optional<platform::Color> dark = m_darkColor.get();
    const auto buttons = paletteButtons();
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        const platform::Color &color = paletteColors()[index];
        if (buttons[index])
            buttons[index]->setShouldHighlight(light == color && dark == color);
    }
    for (MenuBarColorPicker *row : {lightRow(), darkRow()}) {
        if (row)
            row->refresh();
    }
}

} // namespace kestrova
