#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrova {

// The picker's grid of symbols, painted: however long the lists, only the rows in view are drawn, and each
// glyph is drawn once per size and colour and then reused. Sections stand one below the other, each with an
// optional header; a cell is found by its section and its place in it. The keyboard's current cell is
// ringed; the chosen symbol is drawn on the accent colour in the sections that show the choice.
class SymbolGridView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int kCellSize = 40;
    static constexpr int kRowSpacing = 20;
    static constexpr int kColumnSpacing = 8;
    static constexpr int kGlyphSize = 22;

    struct Section {
        // Shown in capitals above the grid; with `showsHeader` false the grid stands alone.
        QString title;
        QStringList names;
        bool showsHeader = true;
        // Whether the chosen symbol is drawn as chosen here.
        bool showsSelection = true;
    };
    struct Cell {
        int section = -1;
        int index = -1;
        bool isValid() const { return section >= 0 && index >= 0; }
        bool operator==(const Cell &) const = default;
    };

    explicit SymbolGridView(QWidget *parent = nullptr);

    void setSections(std::vector<Section> sections);
    const std::vector<Section> &sections() const { return m_sections; }
    void setSelectedName(std::optional<QString> name);

    Cell currentCell() const { return m_current; }
    void setCurrentCell(Cell cell);
    // The name in `cell`; empty for no cell.
    QString nameAt(Cell cell) const;
    // A cell's identity: its section's title followed by the name.
    QString cellIdentifier(Cell cell) const;
    // The first cell of section `section` holding `name`; an invalid cell when none does.
    Cell findCell(int section, const QString &name) const;
    Cell cellAt(const QPoint &viewportPosition) const;
    // Where a cell is in the viewport now.
    QRect visualCellRect(Cell cell) const;

    // Moves the current cell as an arrow key does; from no cell, to the first one.
    void moveCurrent(Qt::Key key);
    void scrollToTop();
    // Scrolls `cell` into view, to the middle when `centre`.
    void scrollToCell(Cell cell, bool centre);

    // How many cells the last paint drew.
    int lastPaintedCellCount() const { return m_lastPaintedCells; }

Q_SIGNALS:
    // A cell was clicked, or Return pressed on the current cell.
    void activated(const QString &name);
    void contextMenuRequested(SymbolGridView::Cell cell, const QPoint &globalPosition);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    struct Placement {
        int headerTop = 0;
        int gridTop = 0;
        int rows = 0;
        int bottom = 0;
    };
    void relayout();
    int columns() const;
    int gridLeft() const;
    // In content coordinates.
    QRect cellRect(Cell cell) const;
    QPixmap glyph(const QString &name, const QColor &color) const;

    std::vector<Section> m_sections;
    std::vector<Placement> m_placements;
    std::optional<QString> m_selectedName;
    Cell m_current;
    int m_contentHeight = 0;
    int m_lastPaintedCells = 0;
};

} // namespace kestrova
