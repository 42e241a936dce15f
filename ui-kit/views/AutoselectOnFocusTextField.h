#pragma once

#include <QLineEdit>

namespace kestrova {

// A text field that selects all its text when it gains the focus, however the focus came (Tab, a click,
// the program), so that typing replaces the text.
class AutoselectOnFocusTextField final : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override;
};

// A text field that takes the focus as soon as it is shown in a window.
class AutofocusedTextField final : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace kestrova
