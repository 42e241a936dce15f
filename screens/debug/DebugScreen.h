#pragma once

#include <QWidget>

class QListWidget;
class QStackedWidget;

namespace kestrova {

// The debug window's content: a sidebar with "Dashboard", "User Defaults", "Logs" and "Settings" and the
// chosen page beside it, the dashboard first. The dashboard copies the debug report and deletes the
// application's data at once (a developer's tool: no question asked); "Settings" turns on the debug
// messages of logging categories from the next launch (DebugLoggingSettings). Main thread only.
class DebugScreen : public QWidget {
    Q_OBJECT
public:
    explicit DebugScreen(QWidget *parent = nullptr);

    QListWidget *sidebar() const { return m_sidebar; }
    QStackedWidget *pages() const { return m_pages; }

private:
    QListWidget *m_sidebar;
    QStackedWidget *m_pages;
};

} // namespace kestrova
