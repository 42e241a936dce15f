#pragma once

#include <QTableView>

#include <optional>

namespace kestrova {

// A table whose selection follows the pointer: moving over a row selects it, leaving the table keeps the
// selection (or drops it without keepSelection), Down on the last row goes to the first and Up on the first
// to the last (shouldCycle; centred with centerSelectedRow), Return acts as a click on the selected row
// (activated, with clickedRow/clickedColumn answering that row while it runs), and the selection survives a
// reset of the model, pulled back to the last row when rows went away.
class HoverableTableView final : public QTableView {
    Q_OBJECT
public:
    explicit HoverableTableView(QWidget *parent = nullptr);

    bool keepSelection = true;
    bool shouldCycle = true;
    bool centerSelectedRow = false;

    void setModel(QAbstractItemModel *model) override;

    int selectedRow() const;
    // The row of the last click, or the selected row while Return's action runs; -1 for none.
    int clickedRow() const { return m_returnRow.value_or(m_clickedRow); }
    int clickedColumn() const { return m_returnColumn.value_or(m_clickedColumn); }
    // Selects only `row`; a row that is not one of the table's empties the selection.
    void selectRow(int row);

Q_SIGNALS:
    // A click on a row, or Return on the selected one.
    void action(int row, int column);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void wrapTo(int row);

    int m_rowBeforeReset = -1;
    int m_clickedRow = -1;
    int m_clickedColumn = -1;
    std::optional<int> m_returnRow;
    std::optional<int> m_returnColumn;
};

} // namespace kestrova
