#pragma once

#include <QIcon>
#include <QString>

#include <array>

class QTabWidget;
class QWidget;

namespace kestrova {

// The kinds of settings tab the kit knows, each with its title and symbol; the settings window labels its
// tabs with them.
enum class SettingsTabType {
    general,
    advanced,
    shortcuts,
    appearance,
    menuBar,
    menu,
    notifications,
    calendar,
    rules,
    browsers,
    timeZones,
    extras,
    exclude,
};

inline constexpr std::array kAllSettingsTabTypes{
    SettingsTabType::general,       SettingsTabType::advanced,  SettingsTabType::shortcuts,
    SettingsTabType::appearance,    SettingsTabType::menuBar,   SettingsTabType::menu,
    SettingsTabType::notifications, SettingsTabType::calendar,  SettingsTabType::rules,
    SettingsTabType::browsers,      SettingsTabType::timeZones, SettingsTabType::extras,
    SettingsTabType::exclude,
};

struct SettingsTabLabel {
    QString title;
    QString symbolName;
};

// "General" with "gearshape", "Advanced" with "gearshape.2", … ("Browsers" and "Time Zones" both "globe").
SettingsTabLabel settingsTabLabel(SettingsTabType type);

// Adds `page` to `tabs` under the kind's title and symbol; answers the tab's index.
int addSettingsTab(QTabWidget *tabs, QWidget *page, SettingsTabType type);

} // namespace kestrova
