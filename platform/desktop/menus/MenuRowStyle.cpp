#include "platform/desktop/menus/MenuRowStyle_p.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionMenuItem>
#include <QWidget>

#include <algorithm>

namespace kestrova::platform::desktop {

namespace {

constexpr const char *kCheckColumnProperty = "kestrovaCheckColumn";

// The title part of a row's text; QMenu appends the shortcut after a tab.
QString titleOf(const QString &text) {
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? text : text.left(tab);
}

QString shortcutOf(const QString &text) {
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : text.mid(tab + 1);
}

bool isContentRow(const QStyleOptionMenuItem &row) {
    return row.menuItemType == QStyleOptionMenuItem::Normal ||
           row.menuItemType == QStyleOptionMenuItem::DefaultItem ||
           row.menuItemType == QStyleOptionMenuItem::SubMenu;
}

// The options of a row drawn over a background already painted: the style must not paint its highlight
// a second time (shifted, or once per line).
QStyleOptionMenuItem withoutBackground(const QStyleOptionMenuItem &row) {
    QStyleOptionMenuItem copy = row;
    copy.palette.setColor(QPalette::Highlight, Qt::transparent);
    return copy;
}

} // namespace

void MenuRowStyle::setHasCheckColumn(QWidget *menu, bool hasColumn) {
    menu->setProperty(kCheckColumnProperty, hasColumn);
}

bool MenuRowStyle::hasCheckColumn(const QWidget *menu) {
    return menu && menu->property(kCheckColumnProperty).toBool();
}

int MenuRowStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                            QStyleHintReturn *returnData) const {
    if (hint == SH_Menu_Scrollable)
        return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int MenuRowStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const {
    if (metric == PM_SmallIconSize)
        return m_iconSize;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

int MenuRowStyle::checkColumnWidth(const QStyleOption *option, const QWidget *widget) const {
    return proxy()->pixelMetric(PM_IndicatorWidth, option, widget) + 8;
}

QSize MenuRowStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                     const QWidget *widget) const {
    const auto *row = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (type != CT_MenuItem || !row || !isContentRow(*row))
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    const QStringList lines = titleOf(row->text).split(QLatin1Char('\n'));
    const QFontMetrics metrics(row->font);
    QSize contents = size;
    if (lines.size() > 1) {
        int widest = 0;
        for (const QString &line : lines) {
            widest = std::max(
                widest,
                metrics.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, line).width());
        }
        contents.setWidth(widest);
    }
    QSize result = QProxyStyle::sizeFromContents(type, option, contents, widget);
    // The styles size a row for one line whatever they are given: the other lines come on top.
    result.rheight() += int(lines.size() - 1) * metrics.lineSpacing();
    if (hasCheckColumn(widget))
        result.rwidth() += checkColumnWidth(option, widget);
    return result;
}

void MenuRowStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const {
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (element != CE_MenuItem || !item || !isContentRow(*item)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const bool checkColumn = hasCheckColumn(widget);
    const bool severalLines = titleOf(item->text).contains(QLatin1Char('\n'));
    if (!checkColumn && !severalLines) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }

    QStyleOptionMenuItem background = *item;
    background.text.clear();
    background.icon = QIcon();
    background.checkType = QStyleOptionMenuItem::NotCheckable;
    background.menuItemType = QStyleOptionMenuItem::Normal;
    QProxyStyle::drawControl(element, &background, painter, widget);

    QStyleOptionMenuItem content = withoutBackground(*item);
    if (checkColumn) {
        const int width = checkColumnWidth(option, widget);
        const QRect &rect = item->rect;
        const QRect column =
            visualRect(item->direction, rect, QRect(rect.x(), rect.y(), width, rect.height()));
        if (item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked)
            drawCheckMark(*item, column, painter);
        content.rect = visualRect(item->direction, rect, rect.adjusted(width, 0, 0, 0));
        content.checkType = QStyleOptionMenuItem::NotCheckable;
    }
    if (!severalLines) {
        QProxyStyle::drawControl(element, &content, painter, widget);
        return;
    }
    drawLines(content, painter, widget);
}

void MenuRowStyle::drawLines(const QStyleOptionMenuItem &row, QPainter *painter,
                             const QWidget *widget) const {
    const QStringList lines = titleOf(row.text).split(QLatin1Char('\n'));
    const int spacing = QFontMetrics(row.font).lineSpacing();
    // Each line is drawn as the style draws a one-line row, in a band of a one-line row's height; the
    // image, check, shortcut and submenu arrow once, centred on the whole row.
    const int bandHeight = row.rect.height() - int(lines.size() - 1) * spacing;
    QStyleOptionMenuItem frame = row;
    const QString shortcut = shortcutOf(row.text);
    frame.text = shortcut.isEmpty() ? QString() : QLatin1Char('\t') + shortcut;
    frame.rect = QRect(row.rect.x(), row.rect.y() + (row.rect.height() - bandHeight) / 2, row.rect.width(),
                       bandHeight);
    QProxyStyle::drawControl(CE_MenuItem, &frame, painter, widget);

    QStyleOptionMenuItem line = row;
    line.icon = QIcon();
    line.checkType = QStyleOptionMenuItem::NotCheckable;
    line.menuItemType = QStyleOptionMenuItem::Normal;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        line.text = lines[index];
        line.rect = QRect(row.rect.x(), row.rect.y() + int(index) * spacing, row.rect.width(), bandHeight);
        QProxyStyle::drawControl(CE_MenuItem, &line, painter, widget);
    }
}

void MenuRowStyle::drawCheckMark(const QStyleOptionMenuItem &row, const QRect &column,
                                 QPainter *painter) const {
    const bool selected = row.state & State_Selected;
    const QPalette::ColorGroup group = (row.state & State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    const QColor color = row.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const qreal side = std::min(column.width(), column.height()) * 0.5;
    const QPointF centre = QRectF(column).center();
    QPainterPath mark;
    if (row.checkType == QStyleOptionMenuItem::Exclusive) {
        mark.addEllipse(centre, side / 4, side / 4);
    } else {
        mark.moveTo(centre + QPointF(-side / 2, 0));
        mark.lineTo(centre + QPointF(-side / 6, side / 3));
        mark.lineTo(centre + QPointF(side / 2, -side / 3));
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(color, std::max<qreal>(1.5, side / 6), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setBrush(row.checkType == QStyleOptionMenuItem::Exclusive ? QBrush(color) : QBrush());
    painter->drawPath(mark);
    painter->restore();
}

} // namespace kestrova::platform::desktop
