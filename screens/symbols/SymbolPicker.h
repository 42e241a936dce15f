#pragma once

#include "platform/observation/Binding.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QPushButton;
class QToolButton;

namespace kestrova {

class SymbolPickerScreen;

// Chooses one symbol by name for an icon: a button that shows the chosen symbol (or `buttonTitle` while
// none is chosen) and opens the picker below itself, and while a symbol is chosen a "Reset" button that
// clears the choice. Each opening starts with an empty search. Writes through the binding. Main thread only.
class SymbolPicker : public QWidget {
    Q_OBJECT

public:
    SymbolPicker(platform::Binding<std::optional<QString>> symbol, QString buttonTitle,
                 QWidget *parent = nullptr);

    // Shows the picker (a second press while it is up does nothing).
    void showPicker();
    bool isPickerPresented() const;
    // The open picker, or null.
    SymbolPickerScreen *pickerScreen() const;

    QPushButton *button() const { return m_button; }
    QToolButton *resetButton() const { return m_resetButton; }
    // Shows the binding's value again, after it changed elsewhere.
    void refresh();

Q_SIGNALS:
    // The binding was written (a pick or a reset).
    void symbolChanged();

private:
    platform::Binding<std::optional<QString>> m_symbol;
    QString m_buttonTitle;
    QPushButton *m_button;
    QToolButton *m_resetButton;
    QPointer<SymbolPickerScreen> m_screen;
};

} // namespace kestrova
