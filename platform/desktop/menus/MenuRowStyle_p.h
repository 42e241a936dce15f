#pragma once

#include <QProxyStyle>

class QStyleOptionMenuItem;

namespace kestrova::platform::desktop {

// The style of presented menus: the application's own style, with four changes to how rows look.
// - A menu is one column that scrolls, at any length: styles that spread a long menu over columns would
//   make it as wide as the screen, and its columns would run off it.
// - Row images have the presenter's size (QMenu uses one small-icon size for every row).
// - A title with line feeds is drawn line by line in one taller row, as wide as its widest line (QMenu
//   and the common styles draw every title on a single line).
// - A menu marked with setHasCheckColumn() gets a column of its own for check marks, beside the images:
//   most styles show the state of a checked row that has an image only as a faint frame around it.
// Everything else is the application style's.
class MenuRowStyle : public QProxyStyle {
public:
    explicit MenuRowStyle(int iconSize)
        : m_iconSize(iconSize) {}
    void setIconSize(int pixels) { m_iconSize = pixels; }

    static void setHasCheckColumn(QWidget *menu, bool hasColumn);
    static bool hasCheckColumn(const QWidget *menu);

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;

private:
    int checkColumnWidth(const QStyleOption *option, const QWidget *widget) const;
    void drawCheckMark(const QStyleOptionMenuItem &row, const QRect &column, QPainter *painter) const;
    void drawLines(const QStyleOptionMenuItem &row, QPainter *painter, const QWidget *widget) const;

    int m_iconSize;
};

} // namespace kestrova::platform::desktop
