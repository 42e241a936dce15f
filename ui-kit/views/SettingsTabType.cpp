#include "SettingsTabType.h"

#include "SymbolIcon.h"

#include <QTabWidget>

namespace kestrova {

SettingsTabLabel settingsTabLabel(SettingsTabType type) {
    switch (type) {
    case SettingsTabType::general:
        return {QStringLiteral("General"), QStringLiteral("gearshape")};
    case SettingsTabType::advanced:
        return {QStringLiteral("Advanced"), QStringLiteral("gearshape.2")};
    case SettingsTabType::shortcuts:
        return {QStringLiteral("Shortcuts"), QStringLiteral("command")};
    case SettingsTabType::appearance:
        return {QStringLiteral("Appearance"), QStringLiteral("paintbrush.pointed")};
    case SettingsTabType::menuBar:
        return {QStringLiteral("Menu Bar"), QStringLiteral("menubar.rectangle")};
    case SettingsTabType::menu:
        return {QStringLiteral("Menu"), QStringLiteral("filemenu.and.selection")};
    case SettingsTabType::notifications:
        return {QStringLiteral("Notifications"), QStringLiteral("bell.badge")};
    case SettingsTabType::calendar:
        return {QStringLiteral("Calendar"), QStringLiteral("calendar")};
    case SettingsTabType::rules:
        return {QStringLiteral("Rules"), QStringLiteral("arrow.triangle.branch")};
    case SettingsTabType::browsers:
        return {QStringLiteral("Browsers"), QStringLiteral("globe")};
    case SettingsTabType::timeZones:
        return {QStringLiteral("Time Zones"), QStringLiteral("globe")};
    case SettingsTabType::extras:
        return {QStringLiteral("Extras"), QStringLiteral("sparkles")};
    case SettingsTabType::exclude:
        return {QStringLiteral("Exclude"), QStringLiteral("nosign")};
    }
    return {};
}

int addSettingsTab(QTabWidget *tabs, QWidget *page, SettingsTabType type) {
    const SettingsTabLabel label = settingsTabLabel(type);
    return tabs->addTab(page, symbolIcon(label.symbolName, tabs), label.title);
}

} // namespace kestrova
