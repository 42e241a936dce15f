#include "SymbolGridView.h"

#include "platform/status/SymbolImage.h"

#include <QCache>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

namespace kestrova {

namespace {

constexpr int kPadding = 12;
constexpr int kHeaderHeight = 22;
// The grid is pulled up towards its header.
constexpr int kGridTopInset = 6;
constexpr int kSectionBottom = 16;
constexpr int kRowPitch = SymbolGridView::kCellSize + SymbolGridView::kRowSpacing;
// The chosen cell's backing, slightly larger than the cell.
constexpr qreal kSelectionScale = 1.1;
constexpr qreal kSelectionRadius = 8;
// A whole catalogue in two colours at a device pixel ratio of 2 fits.
constexpr int kGlyphCacheBytes = 48 * 1024 * 1024;

QCache<QString, QPixmap> &glyphCache() {
    static QCache<QString, QPixmap> cache(kGlyphCacheBytes);
    return cache;
}

} // namespace

SymbolGridView::SymbolGridView(QWidget *parent)
    : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    verticalScrollBar()->setSingleStep(kRowPitch / 2);
    viewport()->setMouseTracking(true);
}

void SymbolGridView::setSections(std::vector<Section> sections) {
    m_sections = std::move(sections);
    m_current = {};
    relayout();
    viewport()->update();
}

void SymbolGridView::setSelectedName(std::optional<QString> name) {
    m_selectedName = std::move(name);
    viewport()->update();
}

void SymbolGridView::setCurrentCell(Cell cell) {
    m_current = nameAt(cell).isNull() ? Cell{} : cell;
    if (m_current.isValid())
        scrollToCell(m_current, /*centre=*/false);
    viewport()->update();
}

QString SymbolGridView::nameAt(Cell cell) const {
    if (!cell.isValid() || cell.section >= int(m_sections.size()) ||
        cell.index >= m_sections[cell.section].names.size())
        return {};
    return m_sections[cell.section].names[cell.index];
}

QString SymbolGridView::cellIdentifier(Cell cell) const {
    const QString name = nameAt(cell);
    return name.isNull() ? QString() : m_sections[cell.section].title + name;
}

SymbolGridView::Cell SymbolGridView::findCell(int section, const QString &name) const {
    if (section < 0 || section >= int(m_sections.size()))
        return {};
    const qsizetype index = m_sections[section].names.indexOf(name);
    return index < 0 ? Cell{} : Cell{section, int(index)};
}

int SymbolGridView::columns() const {
    const int width = viewport()->width() - 2 * kPadding;
    return std::max(1, (width + kColumnSpacing) / (kCellSize + kColumnSpacing));
}

int SymbolGridView::gridLeft() const {
    const int count = columns();
    const int used = count * kCellSize + (count - 1) * kColumnSpacing;
    return std::max(0, (viewport()->width() - used) / 2);
}

void SymbolGridView::relayout() {
    const int count = columns();
    m_placements.clear();
    int y = kPadding;
    for (const Section &section : m_sections) {
        Placement placement;
        placement.headerTop = y;
        placement.gridTop = section.showsHeader ? y + kHeaderHeight + kRowSpacing - kGridTopInset : y;
        placement.rows = int((section.names.size() + count - 1) / count);
        const int gridHeight = placement.rows > 0 ? placement.rows * kRowPitch - kRowSpacing : 0;
        placement.bottom = placement.gridTop + gridHeight + (section.showsHeader ? kSectionBottom : 0);
        y = placement.bottom;
        m_placements.push_back(placement);
    }
    m_contentHeight = y + kPadding;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, m_contentHeight - viewport()->height()));
}

QRect SymbolGridView::cellRect(Cell cell) const {
    if (nameAt(cell).isNull())
        return {};
    const int count = columns();
    const int row = cell.index / count;
    const int column = cell.index % count;
    return QRect(gridLeft() + column * (kCellSize + kColumnSpacing),
                 m_placements[cell.section].gridTop + row * kRowPitch, kCellSize, kCellSize);
}

QRect SymbolGridView::visualCellRect(Cell cell) const {
    return cellRect(cell).translated(0, -verticalScrollBar()->value());
}

SymbolGridView::Cell SymbolGridView::cellAt(const QPoint &viewportPosition) const {
    const QPoint point = viewportPosition + QPoint(0, verticalScrollBar()->value());
    const int count = columns();
    const int column = (point.x() - gridLeft()) / (kCellSize + kColumnSpacing);
    if (point.x() < gridLeft() || column >= count)
        return {};
    for (int section = 0; section < int(m_sections.size()); ++section) {
        const Placement &placement = m_placements[section];
        if (point.y() < placement.gridTop || point.y() >= placement.gridTop + placement.rows * kRowPitch)
            continue;
        const Cell cell{section, (point.y() - placement.gridTop) / kRowPitch * count + column};
        return cellRect(cell).contains(point) ? cell : Cell{};
    }
    return {};
}

void SymbolGridView::moveCurrent(Qt::Key key) {
    const auto firstNonEmpty = [this](int from, int step) {
        for (int section = from; section >= 0 && section < int(m_sections.size()); section += step) {
            if (!m_sections[section].names.isEmpty())
                return section;
        }
        return -1;
    };
    if (!m_current.isValid()) {
        const int section = firstNonEmpty(0, 1);
        if (section >= 0)
            setCurrentCell({section, 0});
        return;
    }
    const int count = columns();
    const int size = int(m_sections[m_current.section].names.size());
    const int row = m_current.index / count;
    const int column = m_current.index % count;
    Cell next = m_current;
    switch (key) {
    case Qt::Key_Left:
        if (m_current.index > 0) {
            next.index -= 1;
        } else if (const int section = firstNonEmpty(m_current.section - 1, -1); section >= 0) {
            next = {section, int(m_sections[section].names.size()) - 1};
        }
        break;
    case Qt::Key_Right:
        if (m_current.index + 1 < size) {
            next.index += 1;
        } else if (const int section = firstNonEmpty(m_current.section + 1, 1); section >= 0) {
            next = {section, 0};
        }
        break;
    case Qt::Key_Up:
        if (row > 0) {
            next.index -= count;
        } else if (const int section = firstNonEmpty(m_current.section - 1, -1); section >= 0) {
            const int sectionSize = int(m_sections[section].names.size());
            const int lastRow = (sectionSize - 1) / count;
            next = {section, std::min(lastRow * count + column, sectionSize - 1)};
        }
        break;
    case Qt::Key_Down:
        if ((row + 1) * count < size) {
            next.index = std::min((row + 1) * count + column, size - 1);
        } else if (const int section = firstNonEmpty(m_current.section + 1, 1); section >= 0) {
            next = {section, std::min(column, int(m_sections[section].names.size()) - 1)};
        }
        break;
    default:
        return;
    }
    setCurrentCell(next);
}

void SymbolGridView::scrollToTop() {
    verticalScrollBar()->setValue(0);
}

void SymbolGridView::scrollToCell(Cell cell, bool centre) {
    const QRect rect = cellRect(cell);
    if (rect.isNull())
        return;
    QScrollBar *bar = verticalScrollBar();
    const int height = viewport()->height();
    if (centre) {
        bar->setValue(rect.center().y() - height / 2);
        return;
    }
    // The section header stays in view with the first row.
    const int top = rect.top() - (rect.top() - kPadding < kRowPitch ? kPadding + kHeaderHeight : kRowSpacing);
    if (top < bar->value())
        bar->setValue(top);
    else if (rect.bottom() + kRowSpacing > bar->value() + height)
        bar->setValue(rect.bottom() + kRowSpacing - height);
}

QPixmap SymbolGridView::glyph(const QString &name, const QColor &color) const {
    const qreal ratio = devicePixelRatioF();
    const QString key = name + QLatin1Char('|') + QString::number(ratio) + QLatin1Char('|') +
                        QString::number(color.rgba(), 16);
    if (const QPixmap *cached = glyphCache().object(key))
        return *cached;
    const QPixmap pixmap = platform::SymbolImage(name, kGlyphSize).pixmap(color, ratio);
    glyphCache().insert(key, new QPixmap(pixmap), std::max(1, pixmap.width() * pixmap.height() * 4));
    return pixmap;
}

void SymbolGridView::paintEvent(QPaintEvent *) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    const int offset = verticalScrollBar()->value();
    const int viewTop = offset;
    const int viewBottom = offset + viewport()->height();
    const int count = columns();
    const QPalette &colors = palette();
    const QColor ink = colors.color(QPalette::Text);
    const QColor accent = colors.color(QPalette::Highlight);
    const QColor onAccent = colors.color(QPalette::HighlightedText);
    QFont headerFont = font();
    headerFont.setPointSizeF(std::max(7.0, headerFont.pointSizeF() * 0.85));
    m_lastPaintedCells = 0;

    for (int section = 0; section < int(m_sections.size()); ++section) {
        const Section &content = m_sections[section];
        const Placement &placement = m_placements[section];
        if (placement.bottom < viewTop || placement.headerTop > viewBottom)
            continue;
        if (content.showsHeader && placement.headerTop + kHeaderHeight >= viewTop) {
            const QRect header(kPadding, placement.headerTop - offset, viewport()->width() - 2 * kPadding,
                               kHeaderHeight - 4);
            painter.setFont(headerFont);
            painter.setPen(colors.color(QPalette::PlaceholderText));
            painter.drawText(header, Qt::AlignCenter, content.title.toUpper());
            QColor divider = colors.color(QPalette::Mid);
            divider.setAlphaF(0.5);
            painter.setPen(divider);
            painter.drawLine(header.left(), header.bottom() + 3, header.right(), header.bottom() + 3);
        }
        const int firstRow = std::max(0, (viewTop - placement.gridTop) / kRowPitch);
        const int lastRow = std::min(placement.rows - 1, (viewBottom - placement.gridTop) / kRowPitch);
        for (int row = firstRow; row <= lastRow; ++row) {
            for (int column = 0; column < count; ++column) {
                const Cell cell{section, row * count + column};
                if (cell.index >= content.names.size())
                    break;
                const QString &name = content.names[cell.index];
                const QRectF rect = QRectF(cellRect(cell)).translated(0, -offset);
                const bool isSelected = content.showsSelection && m_selectedName == name;
                if (isSelected) {
                    const qreal grow = rect.width() * (kSelectionScale - 1) / 2;
                    QPainterPath backing;
                    backing.addRoundedRect(rect.adjusted(-grow, -grow, grow, grow), kSelectionRadius,
                                           kSelectionRadius);
                    painter.fillPath(backing, accent);
                }
                if (cell == m_current) {
                    painter.setPen(QPen(isSelected ? onAccent : accent, 2));
                    painter.setBrush(Qt::NoBrush);
                    painter.drawRoundedRect(rect.adjusted(-1, -1, 1, 1), kSelectionRadius, kSelectionRadius);
                }
                const QPixmap pixmap = glyph(name, isSelected ? onAccent : ink);
                const QSizeF size = pixmap.deviceIndependentSize();
                painter.drawPixmap(
                    QPointF(rect.center().x() - size.width() / 2, rect.center().y() - size.height() / 2),
                    pixmap);
                ++m_lastPaintedCells;
            }
        }
    }
}

void SymbolGridView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void SymbolGridView::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    const Cell cell = cellAt(event->position().toPoint());
    if (cell.isValid())
        Q_EMIT activated(nameAt(cell));
}

void SymbolGridView::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        moveCurrent(Qt::Key(event->key()));
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_current.isValid())
            Q_EMIT activated(nameAt(m_current));
        return;
    case Qt::Key_Menu:
        if (m_current.isValid())
            Q_EMIT contextMenuRequested(m_current,
                                        viewport()->mapToGlobal(visualCellRect(m_current).center()));
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void SymbolGridView::contextMenuEvent(QContextMenuEvent *event) {
    const Cell cell = event->reason() == QContextMenuEvent::Mouse ? cellAt(event->pos()) : m_current;
    if (cell.isValid())
        Q_EMIT contextMenuRequested(cell, event->globalPos());
}

bool SymbolGridView::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const Cell cell = cellAt(help->pos());
        if (cell.isValid())
            QToolTip::showText(help->globalPos(), nameAt(cell), viewport(), visualCellRect(cell));
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace kestrova
