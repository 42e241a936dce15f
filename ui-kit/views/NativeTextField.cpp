#include "NativeTextField.h"

#include "ViewHelpers.h"

#include <QTimer>

namespace kestrova {

NativeTextField::NativeTextField(platform::Binding<QString> text, QWidget *parent)
    : NativeTextField(std::move(text), Configuration(), parent) {}

NativeTextField::NativeTextField(platform::Binding<QString> text, Configuration configuration,
                                 QWidget *parent)
    : QLineEdit(parent)
    , m_text(std::move(text)) {
    writeEditsTo(this, m_text);
    update(std::move(configuration));
}

void NativeTextField::update(Configuration configuration) {
    m_configuration = std::move(configuration);
    showBoundText(this, m_text);
    setPlaceholderText(m_configuration.placeholder.value_or(QString()));
    if (m_configuration.font)
        setFont(*m_configuration.font);
    setFrame(m_configuration.roundedStyle);
    // Deferred: the focus can be taken only once the field is in its window.
    QTimer::singleShot(0, this, [this] { takeFocusOnce(); });
}

void NativeTextField::showEvent(QShowEvent *event) {
    QLineEdit::showEvent(event);
    QTimer::singleShot(0, this, [this] { takeFocusOnce(); });
}

void NativeTextField::takeFocusOnce() {
    if (!m_configuration.isFirstResponder || m_didBecomeFirstResponder || !isVisible())
        return;
    if (!hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_didBecomeFirstResponder = true;
}

} // namespace kestrova
