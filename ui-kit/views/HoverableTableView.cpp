#include "HoverableTableView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

namespace kestrova {

HoverableTableView::HoverableTableView(QWidget *parent)
    : QTableView(parent) {
    setMouseTracking(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void HoverableTableView::setModel(QAbstractItemModel *model) {
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    QTableView::setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_rowBeforeReset = selectedRow(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_rowBeforeReset >= 0)
            selectRow(std::min(m_rowBeforeReset, this->model()->rowCount() - 1));
        m_rowBeforeReset = -1;
    });
}

int HoverableTableView::selectedRow() const {
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void HoverableTableView::selectRow(int row) {
    if (!model() || !selectionModel())
        return;
    if (row < 0 || row >= model()->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = model()->index(row, std::max(currentIndex().column(), 0));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void HoverableTableView::mouseMoveEvent(QMouseEvent *event) {
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0 && row != selectedRow())
        selectRow(row);
    QTableView::mouseMoveEvent(event);
}

void HoverableTableView::mousePressEvent(QMouseEvent *event) {
    QTableView::mousePressEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    m_clickedRow = index.row();
    m_clickedColumn = index.column();
    if (index.isValid()) {
        selectRow(index.row());
        Q_EMIT action(index.row(), index.column());
    }
}

void HoverableTableView::leaveEvent(QEvent *event) {
    if (!keepSelection && selectionModel())
        selectionModel()->clearSelection();
    QTableView::leaveEvent(event);
}

void HoverableTableView::keyPressEvent(QKeyEvent *event) {
    const int rows = model() ? model()->rowCount() : 0;
    const int selected = selectedRow();
    switch (event->key()) {
    case Qt::Key_Down:
        if (rows > 0 && selected == rows - 1) {
            wrapTo(0);
            return;
        }
        break;
    case Qt::Key_Up:
        if (rows > 0 && selected == 0) {
            wrapTo(rows - 1);
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (selected >= 0) {
            selectRow(selected);
            m_returnRow = selected;
            m_returnColumn = std::max(currentIndex().column(), 0);
            Q_EMIT action(*m_returnRow, *m_returnColumn);
            m_returnRow.reset();
            m_returnColumn.reset();
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

void HoverableTableView::wrapTo(int row) {
    if (!shouldCycle)
        return;
    selectRow(row);
    scrollTo(model()->index(row, 0), centerSelectedRow ? PositionAtCenter : EnsureVisible);
}

} // namespace kestrova
