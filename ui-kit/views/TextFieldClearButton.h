#pragma once

#include <QWidget>

class QLineEdit;

namespace kestrova {

class CloseOrClearButton;

// A text field followed by a "Clear" button that shows only while the field has text; clicking it empties
// the field (as an edit of the user's, so bindings of the field store the empty text) and gives the focus
// back to it. Takes ownership of `field`.
class TextFieldClearButton final : public QWidget {
    Q_OBJECT
public:
    explicit TextFieldClearButton(QLineEdit *field, QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }
    CloseOrClearButton *clearButton() const { return m_clearButton; }

private:
    QLineEdit *m_field;
    CloseOrClearButton *m_clearButton;
};

} // namespace kestrova
