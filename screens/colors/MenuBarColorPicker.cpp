#include "MenuBarColorPicker.h"

#include "foundation/time/Debouncer.h"
#include "ui-kit/views/IconButtonStyle.h"
#include "platform/status/PanelAppearance.h"
#include "platform/status/SymbolImage.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

namespace kestrova {

namespace {
constexpr QSize kWellSize(44, 22);
constexpr int kResetLeadingPadding = 4;
} // namespace

MenuBarColorPicker::MenuBarColorPicker(QString label, platform::Binding<std::optional<platform::Color>> color,
                                       std::function<std::optional<platform::Color>()> defaultColor,
                                       QWidget *parent)
    : QWidget(parent)
    , m_color(std::move(color))
    , m_defaultColor(std::move(defaultColor))
    , m_label(new QLabel(std::move(label)))
    , m_well(new QToolButton)
    , m_resetButton(new ResetOrUndoButton(QStringLiteral("Reset"), {}))
    , m_appearanceDebouncer(std::make_unique<Debouncer>(kAppearanceDebounce)) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    layout->addStretch(1);
    m_well->setIconSize(kWellSize);
    m_well->setAccessibleName(m_label->text());
    layout->addWidget(m_well);
    layout->addSpacing(kResetLeadingPadding);
    layout->addWidget(m_resetButton);
    connect(m_well, &QToolButton::clicked, this, &MenuBarColorPicker::openColorDialog);
    connect(m_resetButton, &QToolButton::clicked, this, [this] {
        m_color.set(std::nullopt);
        refresh();
        Q_EMIT colorChanged();
    });
    readAppearance();
    m_appearanceSubscription = platform::PanelAppearance::shared().observe(
        [this] { (*m_appearanceDebouncer)([this] { readAppearance(); }); });
}

MenuBarColorPicker::~MenuBarColorPicker() = default;

void MenuBarColorPicker::readAppearance() {
    m_rememberedDefault =
        platform::SymbolImage::templateColor(platform::PanelAppearance::shared().appearance());
    refresh();
}

QColor MenuBarColorPicker::shownColor() const {
    if (const std::optional<platform::Color> chosen = m_color.get())
        return chosen->toQColor();
    if (m_defaultColor) {
        if (const std::optional<platform::Color> given = m_defaultColor())
            return given->toQColor();
    }
    return m_rememberedDefault;
}

void MenuBarColorPicker::refresh() {
    const qreal ratio = devicePixelRatioF();
    QPixmap swatch(kWellSize * ratio);
    swatch.setDevicePixelRatio(ratio);
    swatch.fill(Qt::transparent);
    QPainter painter(&swatch);
    painter.setRenderHint(QPainter::Antialiasing);
    // A checkerboard shows through a translucent colour.
    const QRectF area(0.5, 0.5, kWellSize.width() - 1, kWellSize.height() - 1);
    painter.setClipRect(area);
    for (int x = 0; x < kWellSize.width(); x += 6) {
        for (int y = 0; y < kWellSize.height(); y += 6)
            painter.fillRect(x, y, 6, 6, (x / 6 + y / 6) % 2 ? QColor(204, 204, 204) : Qt::white);
    }
    painter.setClipping(false);
    painter.fillRect(area, shownColor());
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRect(area);
    painter.end();
    m_well->setIcon(swatch);
    m_resetButton->setEnabled(m_color.get().has_value());
}

void MenuBarColorPicker::chooseColor(const QColor &color) {
    if (!color.isValid())
        return;
    m_color.set(platform::Color::fromQColor(color));
    refresh();
    Q_EMIT colorChanged();
}

void MenuBarColorPicker::openColorDialog() {
    auto *dialog = new QColorDialog(shownColor(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QColorDialog::ShowAlphaChannel);
    dialog->setWindowTitle(m_label->text());
    connect(dialog, &QColorDialog::colorSelected, this, &MenuBarColorPicker::chooseColor);
    dialog->open();
}

} // namespace kestrova
