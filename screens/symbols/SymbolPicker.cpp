#include "SymbolPicker.h"

#include "SymbolPickerScreen.h"

#include "ui-kit/views/IconButtonStyle.h"

#include "platform/status/SymbolImage.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include <algorithm>

namespace kestrova {

namespace {
constexpr qreal kButtonSymbolSize = 16;
}

SymbolPicker::SymbolPicker(platform::Binding<std::optional<QString>> symbol, QString buttonTitle,
                           QWidget *parent)
    : QWidget(parent)
    , m_symbol(std::move(symbol))
    , m_buttonTitle(std::move(buttonTitle))
    , m_button(new QPushButton)
    , m_resetButton(new ResetOrUndoButton(QStringLiteral("Reset"), {})) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_button);
    layout->addWidget(m_resetButton);
    layout->addStretch(1);
    connect(m_button, &QPushButton::clicked, this, &SymbolPicker::showPicker);
    connect(m_resetButton, &QToolButton::clicked, this, [this] {
        m_symbol.set(std::nullopt);
        refresh();
        Q_EMIT symbolChanged();
    });
    refresh();
}

bool SymbolPicker::isPickerPresented() const {
    return !m_screen.isNull();
}

SymbolPickerScreen *SymbolPicker::pickerScreen() const {
    return m_screen;
}

void SymbolPicker::refresh() {
    const std::optional<QString> name = m_symbol.get();
    if (name) {
        m_button->setText(QString());
        m_button->setIcon(platform::SymbolImage(*name, kButtonSymbolSize).icon());
        m_button->setToolTip(QStringLiteral("Symbol name: ") + *name);
        m_button->setAccessibleName(*name);
    } else {
        m_button->setIcon(QIcon());
        m_button->setText(m_buttonTitle);
        m_button->setToolTip(QString());
        m_button->setAccessibleName(m_buttonTitle);
    }
    m_resetButton->setVisible(name.has_value());
}

void SymbolPicker::showPicker() {
    if (m_screen)
        return;
    auto *screen = new SymbolPickerScreen(m_symbol, this);
    screen->setWindowFlags(Qt::Popup);
    screen->setAttribute(Qt::WA_DeleteOnClose);
    connect(screen, &SymbolPickerScreen::dismissed, this, [this] {
        refresh();
        Q_EMIT symbolChanged();
    });
    m_screen = screen;
    // Below the button, or above it where only that fits; kept on the screen it is on.
    const QPoint below = m_button->mapToGlobal(QPoint(0, m_button->height()));
    QPoint position = below;
    if (const QScreen *display = m_button->screen()) {
        const QRect area = display->availableGeometry();
        const int above = m_button->mapToGlobal(QPoint(0, 0)).y() - screen->height();
        if (below.y() + screen->height() > area.bottom() + 1)
            position.setY(above >= area.top() ? above : area.bottom() + 1 - screen->height());
        position.setX(
            std::clamp(position.x(), area.left(), std::max(area.left(), area.right() + 1 - screen->width())));
        position.setY(std::max(position.y(), area.top()));
    }
    screen->move(position);
    screen->show();
}

} // namespace kestrova
