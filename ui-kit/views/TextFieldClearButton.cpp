#include "TextFieldClearButton.h"

#include "IconButtonStyle.h"

#include "ui-kit/windows/ReduceMotion_p.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPropertyAnimation>

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
            [this](const QString &text) { showClearButton(!text.isEmpty()); });
}

void TextFieldClearButton::showClearButton(bool shown) {
    if (m_fade && m_fade->endValue().toDouble() == (shown ? 1.0 : 0.0))
        return;
    if (!m_fade && m_clearButton->isVisible() == shown)
        return;
    delete m_fade;
    if (!isVisible() || desktopPrefersReducedMotion()) {
        m_clearButton->setGraphicsEffect(nullptr);
        m_clearButton->setVisible(shown);
        return;
    }
    // A fifth of a second, in or out; a change of mind midway turns the fade around from where it is.
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(m_clearButton->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(m_clearButton);
        effect->setOpacity(shown ? 0.0 : 1.0);
        m_clearButton->setGraphicsEffect(effect);
    }
    m_clearButton->setVisible(true);
    m_fade = new QPropertyAnimation(effect, "opacity", this);
    m_fade->setDuration(kFadeMilliseconds);
    m_fade->setStartValue(effect->opacity());
    m_fade->setEndValue(shown ? 1.0 : 0.0);
    connect(m_fade, &QPropertyAnimation::finished, this, [this, shown] {
        m_clearButton->setGraphicsEffect(nullptr);
        m_clearButton->setVisible(shown);
    });
    m_fade->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace kestrova
