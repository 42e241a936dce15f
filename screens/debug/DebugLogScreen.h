#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QListView;

namespace kestrova {

class InAppLogStore;

// The in-app log as a list model: one row per entry, oldest first, shown without its leading and trailing
// white space. refresh() takes a new snapshot of the store and resets the rows only when it changed.
class DebugLogModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit DebugLogModel(InAppLogStore &store, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const QStringList &entries() const { return m_entries; }
    void refresh();

private:
    InAppLogStore &m_store;
    QStringList m_entries;
};

// The "Logs" page of the debug window: the in-app log of debug mode, taken again every second while the
// page is shown (no timer runs while it is hidden), with a "More" menu to copy the log or clear it. The
// list draws only the rows in view, so a long log stays quick to scroll. Main thread only.
class DebugLogScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kRefreshInterval{1000};

    explicit DebugLogScreen(InAppLogStore &store, QWidget *parent = nullptr);

    DebugLogModel &model() { return *m_model; }
    bool isRefreshing() const { return m_timer.isActive(); }
    // The entries joined by line feeds (each keeps its own final line feed).
    QString copiedText() const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    InAppLogStore &m_store;
    DebugLogModel *m_model;
    QListView *m_list;
    QTimer m_timer;
};

} // namespace kestrova
