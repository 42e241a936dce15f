#include "TextFieldClearButton.h"

#include "IconButtonStyle.h"

#include <QHBoxLayout>
#include <QLineEdit>

namespace kestrova {

TextFieldClearButton::TextFieldClearButton(QLineEdit *field, QWidget *parent)
    : QWidget(parent)
    , m_field(field)
    , m_clearButton(new CloseOrClearButton(QStringLiteral("Clear"), [this] {
        m_field->clear();
        // What a user's edit says, so that whatever stores the field's text hears of it.
        Q_EMIT m_field->textEdited(QString());
        m_field->setFocus(Qt::OtherFocusReason);
    })) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(m_clearButton, 0, Qt::AlignVCenter);
    // Keeps its room while hidden, so the field does not jump when the button appears.
    QSizePolicy policy = m_clearButton->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_clearButton->setSizePolicy(policy);
    m_clearButton->setVisible(!field->text().isEmpty());
    connect(field, &QLineEdit::textChanged, m_clearButton,
            [this](const QString &text) { m_clearButton->setVisible(!text.isEmpty()); });
}

} // namespace kestrova
