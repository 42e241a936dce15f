#pragma once

#include "platform/observation/NotificationCenter.h"

#include <QWidget>

#include <memory>

class QTreeWidget;

namespace kestrova {

namespace platform {
class UserDefaults;
}

// The "User Defaults" page of the debug window: the settings suite's dump (DefaultsDebugDump) under the
// section "Standard", key above value, rebuilt whenever any setting changes. Delete (or Backspace) removes
// the selected keys at once; the "More" menu copies every line or removes every key. A very long value is
// shown cut short (the copy keeps it whole). Main thread only.
class DebugUserDefaultsScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr qsizetype kShownValueLength = 2000;

    explicit DebugUserDefaultsScreen(std::shared_ptr<platform::UserDefaults> suite,
                                     QWidget *parent = nullptr);
    ~DebugUserDefaultsScreen() override;

    QTreeWidget *list() const { return m_list; }
    // Removes the keys of the selected rows.
    void deleteSelectedRows();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reload();
    void scheduleReload();

    std::shared_ptr<platform::UserDefaults> m_suite;
    QTreeWidget *m_list;
    platform::NotificationCenter::ObserverId m_observer = 0;
    bool m_isReloadScheduled = false;
};

} // namespace kestrova
