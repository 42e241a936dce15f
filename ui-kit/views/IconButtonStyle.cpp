#include "IconButtonStyle.h"

#include "SymbolIcon.h"

#include <QEvent>

namespace kestrova {

void IconButtonStyle::apply(QToolButton *button) const {
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setCursor(Qt::ArrowCursor);
    // No frame, hover or pressed box: only the icon is drawn, and the padding still takes clicks.
    button->setStyleSheet(
        QStringLiteral("QToolButton { border: none; background: transparent; padding: %1px; }")
            .arg(qRound(padding)));
}

IconButton::IconButton(const QString &title, const QString &symbolName, std::function<void()> action,
                       QWidget *parent)
    : QToolButton(parent)
    , m_title(title)
    , m_symbolName(symbolName) {
    IconButtonStyle{0}.apply(this);
    setText(title);
    setToolTip(title);
    setAccessibleName(title);
    setIcon(symbolIcon(symbolName, this));
    if (action)
        connect(this, &QToolButton::clicked, this, [action = std::move(action)] { action(); });
}

void IconButton::changeEvent(QEvent *event) {
    QToolButton::changeEvent(event);
    // The icon is drawn in the text colour: a new palette (light or dark look) draws it again.
    if (event->type() == QEvent::PaletteChange)
        setIcon(symbolIcon(m_symbolName, this));
}

CloseOrClearButton::CloseOrClearButton(const QString &title, std::function<void()> action, QWidget *parent)
    : IconButton(title, QStringLiteral("xmark.circle.fill"), std::move(action), parent) {}

ResetOrUndoButton::ResetOrUndoButton(const QString &title, std::function<void()> action, QWidget *parent)
    : IconButton(title, QStringLiteral("arrow.uturn.backward.circle.fill"), std::move(action), parent) {}

} // namespace kestrova
