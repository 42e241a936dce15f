#include "DebugUserDefaultsScreen.h"

#include "DebugMoreMenu.h"
#include "foundation/app/DefaultsDebugDump.h"
#include "platform/defaults/UserDefaults.h"
#include "screens/support/SupportActions.h"

#include <QFontDatabase>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrova {

DebugUserDefaultsScreen::DebugUserDefaultsScreen(std::shared_ptr<platform::UserDefaults> suite,
                                                 QWidget *parent)
    : QWidget(parent)
    , m_suite(std::move(suite))
    , m_list(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("userDefaultsScreen"));
    auto *column = new QVBoxLayout(this);
    auto *header = new QHBoxLayout;
    header->addWidget(debugPageTitle(QStringLiteral("User Defaults"), this));
    header->addStretch();
    header->addWidget(new DebugMoreMenu([this] { return !DefaultsDebugDump::debugDump(*m_suite).empty(); },
                                        [this] {
                                            copyTextToPasteboard(DefaultsDebugDump::formattedKeyValueLines(
                                                DefaultsDebugDump::debugDump(*m_suite)));
                                        },
                                        [this] { m_suite->removeAll(); }, this));
    column->addLayout(header);

    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Key"), QStringLiteral("Value")});
    m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setWordWrap(true);
    m_list->setUniformRowHeights(false);
    column->addWidget(m_list);
    m_list->installEventFilter(this);

    // Settings may change on any thread (another process's write is picked up by a watcher): the list is
    // rebuilt once on the main thread for any number of changes.
    QPointer<DebugUserDefaultsScreen> self(this);
    m_observer = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(platform::UserDefaults::kDidChangeNotification), m_suite.get(),
        [self](const platform::Notification &) {
            QMetaObject::invokeMethod(
                qApp,
                [self] {
                    if (self)
                        self->scheduleReload();
                },
                Qt::QueuedConnection);
        });
    reload();
}

DebugUserDefaultsScreen::~DebugUserDefaultsScreen() {
    platform::NotificationCenter::defaultCenter().removeObserver(m_observer);
}

bool DebugUserDefaultsScreen::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            deleteSelectedRows();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DebugUserDefaultsScreen::scheduleReload() {
    if (m_isReloadScheduled)
        return;
    m_isReloadScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_isReloadScheduled = false;
            reload();
        },
        Qt::QueuedConnection);
}

void DebugUserDefaultsScreen::reload() {
    m_list->clear();
    auto *section = new QTreeWidgetItem(m_list, {QStringLiteral("Standard")});
    section->setFlags(Qt::ItemIsEnabled);
    QFont bold = m_list->font();
    bold.setBold(true);
    section->setFont(0, bold);
    const QFont monospaced = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const auto &[key, value] : DefaultsDebugDump::debugDump(*m_suite)) {
        QString shown = DefaultsDebugDump::description(value);
        if (shown.size() > kShownValueLength)
            shown = shown.left(kShownValueLength) +
                    QStringLiteral("… (%1 characters; Copy gives the whole value)").arg(shown.size());
        auto *row = new QTreeWidgetItem(section, {key, shown});
        row->setData(0, Qt::UserRole, key);
        row->setFont(0, bold);
        row->setFont(1, monospaced);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    section->setExpanded(true);
}

void DebugUserDefaultsScreen::deleteSelectedRows() {
    QStringList keys;
    for (const QTreeWidgetItem *row : m_list->selectedItems()) {
        const QString key = row->data(0, Qt::UserRole).toString();
        if (!key.isEmpty())
            keys << key;
    }
    for (const QString &key : keys)
        m_suite->removeObject(key);
}

} // namespace kestrova
