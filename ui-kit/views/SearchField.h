#pragma once

#include "platform/observation/Binding.h"

#include <QLineEdit>

#include <optional>

namespace kestrova {

// A search field bound to a string: a magnifying glass in front, a clear button at the end, every edit
// written to the binding, and the focus taken each time the field is shown in a window. The field itself
// is the control here; nothing else hosts it.
class SearchField final : public QLineEdit {
    Q_OBJECT
public:
    struct Configuration {
        bool drawsBackground = true;
        std::optional<QString> placeholder = {};
        // None keeps the field's font.
        std::optional<double> fontSize = {};
        // No frame and no focus ring.
        bool isPlainStyle = false;
    };

    SearchField(platform::Binding<QString> text, Configuration configuration, QWidget *parent = nullptr);
    explicit SearchField(platform::Binding<QString> text, QWidget *parent = nullptr);

    // Applies every field again and shows the bound text when it differs from what the field shows (an
    // equal text is not set again, so the caret and a composition in progress stay where they are).
    void update(Configuration configuration);
    void update() { update(m_configuration); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    platform::Binding<QString> m_text;
    Configuration m_configuration;
};

} // namespace kestrova
