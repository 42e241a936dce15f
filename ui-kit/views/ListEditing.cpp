#include "ListEditing.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QObject>

namespace kestrova {

namespace {

class ListEditingFilter final : public QObject {
public:
    ListEditingFilter(QAbstractItemView *view, ListEditingActions actions)
        : QObject(view)
        , m_view(view)
        , m_actions(std::move(actions)) {}

    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() != QEvent::KeyPress || !m_actions.remove)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Delete && key != Qt::Key_Backspace)
            return false;
        std::set<int> rows;
        for (const QModelIndex &index : m_view->selectionModel()->selectedIndexes())
            rows.insert(index.row());
        if (rows.empty())
            return false;
        m_actions.remove(rows);
        return true;
    }

    QAbstractItemView *m_view;
    ListEditingActions m_actions;
};

} // namespace

void onMoveAndDelete(QAbstractItemView *view, ListEditingActions actions) {
    if (actions.move) {
        view->setDragDropMode(QAbstractItemView::InternalMove);
        view->setDefaultDropAction(Qt::MoveAction);
        QObject::connect(view->model(), &QAbstractItemModel::rowsMoved, view,
                         [move = actions.move](const QModelIndex &, int first, int last, const QModelIndex &,
                                               int destination) {
                             std::set<int> offsets;
                             for (int row = first; row <= last; ++row)
                                 offsets.insert(row);
                             move(offsets, destination);
                         });
    }
    view->installEventFilter(new ListEditingFilter(view, std::move(actions)));
}

void reverseMask(QWidget *view, const QRegion &mask) {
    if (mask.isEmpty()) {
        view->clearMask();
        return;
    }
    view->setMask(QRegion(view->rect()).subtracted(mask));
}

} // namespace kestrova
