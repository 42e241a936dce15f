#include "InfoPopoverButton.h"

#include "ui-kit/views/IconButtonStyle.h"
#include "ui-kit/views/SymbolIcon.h"

#include <QLabel>
#include <QStyle>

namespace kestrova {

InfoPopoverButton::InfoPopoverButton(const QString &text, std::optional<int> maxWidth,
                                     std::function<void(bool)> onAction, QWidget *parent)
    : InfoPopoverButton(
          [text, maxWidth] { return Popover::makeWrappingLabel(text, maxWidth, contentInsets()); }, maxWidth,
          std::move(onAction), parent) {
    setAccessibleDescription(text);
}

InfoPopoverButton::InfoPopoverButton(ContentFactory content, std::optional<int> maxWidth,
                                     std::function<void(bool)> onAction, QWidget *parent)
    : QToolButton(parent)
    , m_content(std::move(content))
    , m_maxWidth(maxWidth)
    , m_onAction(std::move(onAction)) {
    IconButtonStyle{2}.apply(this);
    setIcon(symbolIcon(QStringLiteral("questionmark.circle"), this));
    setAccessibleName(QStringLiteral("Help"));
    setToolTip(QString());
    connect(this, &QToolButton::clicked, this, [this] { present(); });
}

InfoPopoverButton::~InfoPopoverButton() = default;

QMargins InfoPopoverButton::contentInsets() {
    return {11, 11, 11, 15};
}

bool InfoPopoverButton::isPopoverPresented() const {
    return m_popover && m_popover->isVisible();
}

void InfoPopoverButton::present() {
    if (!m_popover) {
        m_popover = std::make_unique<Popover>(Popover::Behavior::transient);
        QWidget *content = m_content();
        if (m_maxWidth && content->width() > *m_maxWidth)
            content->setFixedWidth(*m_maxWidth);
        m_popover->setContent(content, contentInsets());
    }
    m_popover->showAt(QRect(mapToGlobal(QPoint(0, 0)), size()));
    if (m_onAction)
        m_onAction(true);
}

} // namespace kestrova
