#include "HostingView.h"

#include "platform/menus/MenuItem.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"

#include <QActionEvent>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace kestrova {

HostingView::HostingView(QWidget *content, QWidget *parent)
    : QWidget(parent)
    , m_content(content) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(content);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize HostingView::sizeHint() const {
    QSize size = m_content->sizeHint();
    if (m_content->hasHeightForWidth() && width() > 0)
        size.setHeight(m_content->heightForWidth(width()));
    return size;
}

bool HostingView::event(QEvent *event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize)
        contentNeedsChanged();
    return handled;
}

void HostingView::contentNeedsChanged() {
    const QSize size = sizeHint();
    // Equal heights leave the menu alone; so does a need already announced that the menu could not meet.
    if (size.height() == height() || size == m_announcedSize)
        return;
    m_announcedSize = size;
    auto *menu = qobject_cast<QMenu *>(parentWidget());
    if (!menu)
        return;
    // A menu measures its rows again when told that one of its actions changed.
    for (QAction *action : menu->actions()) {
        auto *widgetAction = qobject_cast<QWidgetAction *>(action);
        if (widgetAction && widgetAction->defaultWidget() == this) {
            QActionEvent changed(QEvent::ActionChanged, action);
            QApplication::sendEvent(menu, &changed);
            return;
        }
    }
}

void setHostedView(platform::MenuItem &item, const QString &description,
                   std::function<QWidget *()> makeContent, bool forceAllowsVibrancy) {
    item.setHostedView(platform::desktop::HostedWidgetFactory::create(
        description, [makeContent = std::move(makeContent), forceAllowsVibrancy]() -> QWidget * {
            auto *view = new HostingView(makeContent());
            view->setForceAllowsVibrancy(forceAllowsVibrancy);
            QFont font = QApplication::font();
            font.setPointSizeF(systemFontSize());
            font.setWeight(QFont::Normal);
            view->setFont(font);
            return view;
        }));
}

} // namespace kestrova
