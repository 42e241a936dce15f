#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPropertyAnimation;

namespace kestrova {

class CloseOrClearButton;

// A text field followed by a "Clear" button that shows only while the field has text (fading in and out
// over 0.2 s unless the desktop asks for reduced motion); clicking it empties
// the field (as an edit of the user's, so bindings of the field store the empty text) and gives the focus
// back to it. Takes ownership of `field`.
class TextFieldClearButton final : public QWidget {
    Q_OBJECT
public:
    explicit TextFieldClearButton(QLineEdit *field, QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }
    CloseOrClearButton *clearButton() const { return m_clearButton; }

    static constexpr int kFadeMilliseconds = 200;

private:
    void showClearButton(bool shown);

    QLineEdit *m_field;
    CloseOrClearButton *m_clearButton;
    QPointer<QPropertyAnimation> m_fade;
};

} // namespace kestrova
