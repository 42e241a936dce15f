#include "CocoaButton.h"

#include "foundation/app/KitHelpers.h"

#include <QShortcut>
#include <QTextDocumentFragment>

namespace kestrova {

std::optional<CocoaButton::KeyEquivalent> CocoaButton::keyEquivalentFromRawValue(const QString &rawValue) {
    if (rawValue == QStringLiteral("\u001B"))
        return KeyEquivalent::escape;
    if (rawValue == QStringLiteral("\r"))
        return KeyEquivalent::return_;
    return std::nullopt;
}

QString CocoaButton::rawValue(KeyEquivalent key) {
    return key == KeyEquivalent::escape ? QStringLiteral("\u001B") : QStringLiteral("\r");
}

QColor CocoaButton::destructiveTitleColor() {
    // The system red with its saturation brought down to 0.7 of itself.
    return adjusting(QColor(255, 59, 48), 0, -0.3);
}

CocoaButton::CocoaButton(QWidget *parent)
    : CocoaButton(Configuration(), parent) {}

CocoaButton::CocoaButton(Configuration configuration, QWidget *parent)
    : QPushButton(parent) {
    // A click runs the action of the value applied last.
    connect(this, &QPushButton::clicked, this, [this] {
        if (m_configuration.action)
            m_configuration.action();
    });
    update(std::move(configuration));
}

void CocoaButton::update(Configuration configuration) {
    m_configuration = std::move(configuration);
    const Configuration &value = m_configuration;

    // Rich text has no place in a push button: the attributed title is shown as its plain text, and its
    // colour is kept by not turning it red.
    const QString shown = value.attributedTitle
                              ? QTextDocumentFragment::fromHtml(*value.attributedTitle).toPlainText()
                              : value.title.value_or(QString());
    setText(shown);
    setAccessibleName(value.title.value_or(shown));

    setSizePolicy(value.isResizable ? QSizePolicy::Preferred : QSizePolicy::Fixed, QSizePolicy::Fixed);

    delete m_keyShortcut;
    m_keyShortcut = nullptr;
    setDefault(false);
    if (value.keyEquivalent) {
        const bool isReturn = *value.keyEquivalent == KeyEquivalent::return_;
        setDefault(isReturn);
        m_keyShortcut = new QShortcut(QKeySequence(isReturn ? Qt::Key_Return : Qt::Key_Escape), this);
        m_keyShortcut->setContext(Qt::WindowShortcut);
        connect(m_keyShortcut, &QShortcut::activated, this, [this] {
            if (isEnabled() && isVisible())
                animateClick();
        });
    }

    setFlat(value.bezelStyle == BezelStyle::borderless || value.bezelStyle == BezelStyle::inline_);

    QPalette palette = this->palette();
    palette.setColor(QPalette::ButtonText, value.hasDestructiveAction && !value.attributedTitle
                                               ? destructiveTitleColor()
                                               : QPalette().color(QPalette::ButtonText));
    setPalette(palette);

    if (value.controlSize) {
        static constexpr double kScale[] = {0.75, 0.85, 1.0, 1.15};
        QFont font = this->font();
        font.setPointSizeF(QFont().pointSizeF() * kScale[int(*value.controlSize)]);
        setFont(font);
    }
}

} // namespace kestrova
