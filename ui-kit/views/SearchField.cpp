#include "SearchField.h"

#include "SymbolIcon.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"

#include <QAction>
#include "ViewHelpers.h"


namespace kestrova {

SearchField::SearchField(platform::Binding<QString> text, QWidget *parent)
    : SearchField(std::move(text), Configuration(), parent) {}

SearchField::SearchField(platform::Binding<QString> text, Configuration configuration, QWidget *parent)
    : QLineEdit(parent)
    , m_text(std::move(text)) {
    setClearButtonEnabled(true);
    addAction(symbolIcon(QStringLiteral("magnifyingglass"), this), QLineEdit::LeadingPosition);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    writeEditsTo(this, m_text);
    update(std::move(configuration));
}

void SearchField::update(Configuration configuration) {
    m_configuration = std::move(configuration);
    setAutoFillBackground(m_configuration.drawsBackground);
    setFrame(!m_configuration.isPlainStyle);
    setAttribute(Qt::WA_MacShowFocusRect, !m_configuration.isPlainStyle);
    setPlaceholderText(m_configuration.placeholder.value_or(QString()));
    showBoundText(this, m_text);
    if (m_configuration.fontSize)
        setFont(systemFont(*m_configuration.fontSize));
}

void SearchField::showEvent(QShowEvent *event) {
    QLineEdit::showEvent(event);
    takeFocusSoon(this);
}

} // namespace kestrova
