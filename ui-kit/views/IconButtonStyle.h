#pragma once

#include <QString>
#include <QToolButton>

#include <functional>

namespace kestrova {

// Buttons that show only their icon: borderless, with `padding` around the icon, the whole padded square
// clickable. The title is not drawn; it is the tooltip and what assistive technologies say.
struct IconButtonStyle {
    double padding = 0;

    void apply(QToolButton *button) const;
};

// An icon-only button with a title and a fixed symbol, running `action` when clicked.
class IconButton : public QToolButton {
    Q_OBJECT
public:
    IconButton(const QString &title, const QString &symbolName, std::function<void()> action,
               QWidget *parent = nullptr);

    QString title() const { return m_title; }
    QString symbolName() const { return m_symbolName; }

protected:
    void changeEvent(QEvent *event) override;

private:
    QString m_title;
    QString m_symbolName;
};

// The clear button of the kit's text fields ("xmark.circle.fill").
class CloseOrClearButton final : public IconButton {
    Q_OBJECT
public:
    CloseOrClearButton(const QString &title, std::function<void()> action, QWidget *parent = nullptr);
};

// The reset button beside a setting that may be unset ("arrow.uturn.backward.circle.fill").
class ResetOrUndoButton final : public IconButton {
    Q_OBJECT
public:
    ResetOrUndoButton(const QString &title, std::function<void()> action, QWidget *parent = nullptr);
};

} // namespace kestrova
