#pragma once

#include "platform/observation/Binding.h"

#include <QFont>
#include <QLineEdit>

#include <optional>

namespace kestrova {

// A text field bound to a string: each edit is written to the binding, and update() shows the bound text
// when it differs from what the field shows (an equal text is not set again, so typing and input-method
// composition are not disturbed). With `isFirstResponder` the field takes the focus once, the first time it
// is shown in a window; when the user moves the focus away it is not taken back. The field itself is the
// control here.
class NativeTextField final : public QLineEdit {
    Q_OBJECT
public:
    struct Configuration {
        std::optional<QString> placeholder = {};
        std::optional<QFont> font = {};
        bool isFirstResponder = false;
        bool roundedStyle = true;
        // A line edit is one line already: long text scrolls sideways.
        bool isSingleLine = true;
    };

    NativeTextField(platform::Binding<QString> text, Configuration configuration, QWidget *parent = nullptr);
    explicit NativeTextField(platform::Binding<QString> text, QWidget *parent = nullptr);

    void update(Configuration configuration);
    void update() { update(m_configuration); }
    bool didBecomeFirstResponder() const { return m_didBecomeFirstResponder; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void takeFocusOnce();

    platform::Binding<QString> m_text;
    Configuration m_configuration;
    bool m_didBecomeFirstResponder = false;
};

} // namespace kestrova
