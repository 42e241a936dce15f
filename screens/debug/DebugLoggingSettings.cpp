#include "DebugLoggingSettings.h"

#include "DebugMoreMenu.h"
#include "foundation/app/KvApp.h"
#include "platform/defaults/UserDefaults.h"

#include <QCheckBox>
#include <QLabel>
#include <QLoggingCategory>
#include <QVBoxLayout>

namespace kestrova {

const QStringList &DebugLoggingSettings::categories() {
    static const QStringList names{QStringLiteral("kestrova.app"),
                                   QStringLiteral("kestrova.menubar"),
                                   QStringLiteral("kestrova.store"),
                                   QStringLiteral("kestrova.integration"),
                                   QStringLiteral("kestrova.hotkeys"),
                                   QStringLiteral("kestrova.Bootwick.main"),
                                   QStringLiteral("kestrova.platform.menu"),
                                   QStringLiteral("kestrova.platform.desktop"),
                                   QStringLiteral("kestrova.platform.desktop.tray"),
                                   QStringLiteral("kestrova.platform.desktop.dbusmenu"),
                                   QStringLiteral("kestrova.platform.statusnotifier"),
                                   QStringLiteral("kestrova.platform.crashreporter")};
    return names;
}

QString DebugLoggingSettings::filterRules(const QStringList &enabled) {
    QStringList rules;
    for (const QString &category : categories()) {
        if (enabled.contains(category))
            rules << category + QStringLiteral(".debug=true");
    }
    return rules.join(QLatin1Char('\n'));
}

QStringList DebugLoggingSettings::storedCategories(const platform::UserDefaults &defaults) {
    QStringList stored;
    const auto value = defaults.object(QString::fromLatin1(kKey));
    const auto *list = value ? value->getIf<platform::PropertyListValue::Array>() : nullptr;
    if (!list)
        return stored;
    for (const auto &element : *list) {
        if (const auto *text = element.getIf<QString>())
            stored << *text;
    }
    return stored;
}

void DebugLoggingSettings::applyStoredRules(const platform::UserDefaults &defaults) {
    const QString rules = filterRules(storedCategories(defaults));
    if (!rules.isEmpty())
        QLoggingCategory::setFilterRules(rules);
}

DebugLoggingSettings::DebugLoggingSettings(QWidget *parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("loggingSettings"));
    auto *column = new QVBoxLayout(this);
    column->addWidget(debugPageTitle(QStringLiteral("Settings"), this));
    auto *note = new QLabel(QStringLiteral("Debug messages of the chosen parts go to standard error and the "
                                           "system log. A change relaunches %1.")
                                .arg(KvApp::name()),
                            this);
    note->setWordWrap(true);
    column->addWidget(note);
    const QStringList enabled = storedCategories(*platform::UserDefaults::standard());
    for (const QString &category : categories()) {
        auto *toggle = new QCheckBox(QStringLiteral("Log %1").arg(category), this);
        toggle->setChecked(enabled.contains(category));
        connect(toggle, &QCheckBox::toggled, this, [category](bool isOn) {
            const auto defaults = platform::UserDefaults::standard();
            QStringList chosen = storedCategories(*defaults);
            chosen.removeAll(category);
            if (isOn)
                chosen << category;
            platform::PropertyListValue::Array stored;
            for (const QString &name : chosen)
                stored.emplace_back(name);
            defaults->setObject(platform::PropertyListValue(std::move(stored)), QString::fromLatin1(kKey));
            // The rules are read as the application starts.
            KvApp::startRelaunch(/*exitImmediately=*/false, /*showSettings=*/false);
        });
        column->addWidget(toggle);
    }
    column->addStretch();
}

} // namespace kestrova
