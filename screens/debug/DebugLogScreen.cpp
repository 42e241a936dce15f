#include "DebugLogScreen.h"

#include "DebugMoreMenu.h"
#include "foundation/app/Log.h"
#include "screens/support/SupportActions.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QVBoxLayout>

namespace kestrova {

DebugLogModel::DebugLogModel(InAppLogStore &store, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store) {}

int DebugLogModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant DebugLogModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_entries.at(index.row()).trimmed();
    return {};
}

void DebugLogModel::refresh() {
    QStringList snapshot = m_store.entries();
    if (snapshot == m_entries)
        return;
    beginResetModel();
    m_entries = std::move(snapshot);
    endResetModel();
}

DebugLogScreen::DebugLogScreen(InAppLogStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_model(new DebugLogModel(store, this))
    , m_list(new QListView(this)) {
    setObjectName(QStringLiteral("logsScreen"));
    auto *column = new QVBoxLayout(this);
    auto *header = new QHBoxLayout;
    header->addWidget(debugPageTitle(QStringLiteral("Logs"), this));
    header->addStretch();
    header->addWidget(new DebugMoreMenu([this] { return !m_store.entries().isEmpty(); },
                                        [this] { copyTextToPasteboard(copiedText()); },
                                        [this] {
                                            m_store.removeAll();
                                            m_model->refresh();
                                        },
                                        this));
    column->addLayout(header);
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setWordWrap(false);
    m_list->setSpacing(2);
    column->addWidget(m_list);
    m_timer.setInterval(kRefreshInterval);
    connect(&m_timer, &QTimer::timeout, m_model, &DebugLogModel::refresh);
}

QString DebugLogScreen::copiedText() const {
    return m_store.entries().join(QLatin1Char('\n'));
}

void DebugLogScreen::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    m_model->refresh();
    m_timer.start();
}

void DebugLogScreen::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    // A hidden page wakes nobody up.
    m_timer.stop();
}

} // namespace kestrova
