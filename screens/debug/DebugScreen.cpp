#include "DebugScreen.h"

#include "DebugLogScreen.h"
#include "DebugLoggingSettings.h"
#include "DebugMoreMenu.h"
#include "DebugUserDefaultsScreen.h"
#include "foundation/app/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "screens/support/SupportActions.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kestrova {
namespace {

QWidget *dashboard(QWidget *parent) {
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("dashboard"));
    auto *column = new QVBoxLayout(page);
    column->addWidget(debugPageTitle(QStringLiteral("Debug"), page));
    auto *copy = new QPushButton(QStringLiteral("Copy Debug Info"), page);
    QObject::connect(copy, &QPushButton::clicked, page, [] { copyDebugReportToPasteboard(); });
    column->addWidget(copy, 0, Qt::AlignLeft);
    auto *reset = new QPushButton(QStringLiteral("Delete App Data"), page);
    reset->setStyleSheet(QStringLiteral("QPushButton { color: #c0392b; }"));
    QObject::connect(reset, &QPushButton::clicked, page, [] { deleteAppDataAndRelaunch(); });
    column->addWidget(reset, 0, Qt::AlignLeft);
    column->addStretch();
    return page;
}

} // namespace

DebugScreen::DebugScreen(QWidget *parent)
    : QWidget(parent)
    , m_sidebar(new QListWidget(this))
    , m_pages(new QStackedWidget(this)) {
    setMinimumSize(800, 400);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *split = new QSplitter(this);
    layout->addWidget(split);
    m_sidebar->addItems({QStringLiteral("Dashboard"), QStringLiteral("User Defaults"), QStringLiteral("Logs"),
                         QStringLiteral("Settings")});
    split->addWidget(m_sidebar);
    split->addWidget(m_pages);
    split->setCollapsible(0, false);
    split->setStretchFactor(1, 1);
    split->setSizes({180, 620});
    m_pages->addWidget(dashboard(m_pages));
    m_pages->addWidget(new DebugUserDefaultsScreen(platform::UserDefaults::standard(), m_pages));
    m_pages->addWidget(new DebugLogScreen(InAppLogStore::shared(), m_pages));
    m_pages->addWidget(new DebugLoggingSettings(m_pages));
    connect(m_sidebar, &QListWidget::currentRowChanged, m_pages, &QStackedWidget::setCurrentIndex);
    m_sidebar->setCurrentRow(0);
}

} // namespace kestrova
