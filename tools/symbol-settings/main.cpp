// The icon and colour settings of a folder and of the main status item in one window, with the application's
// status items in the tray, for the end-to-end run: it opens the symbol picker, says so on stdout and waits
// for the keys that the run types into it (through the X server); once a symbol is picked it opens the colour
// window, then switches the main icon to a custom picture, and saves a screenshot of the whole screen at
// each step into --screenshot-dir. Ends by itself after the last one.
//   kestrova_symbol_settings --screenshot-dir DIR
#include "screens/colors/ReusableMenuBarItemColorSetting.h"
#include "screens/icons/MenuBarItemIconSetting.h"
#include "screens/symbols/SymbolPicker.h"
#include "screens/symbols/SymbolPickerScreen.h"

#include "menubar/MenuBarItems.h"
#include "platform/desktop/appearance/PortalPanelAppearance.h"
#include "platform/desktop/tray/TrayStatusItem.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

using namespace kestrova;

namespace {

QString g_directory;

void say(const QString &line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void grab(const QString &name) {
    const QString path = g_directory + QLatin1Char('/') + name;
    const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    say(QStringLiteral("screenshot %1 %2")
            .arg(path, saved ? QStringLiteral("saved") : QStringLiteral("failed")));
}

} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QApplication::arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--screenshot-dir"));
    if (at < 0 || at + 1 >= arguments.size()) {
        std::fprintf(stderr, "usage: kestrova_symbol_settings --screenshot-dir DIR\n");
        return 2;
    }
    g_directory = arguments.at(at + 1);
    QDir().mkpath(g_directory);

    platform::PanelAppearance::setShared(
        platform::desktop::PortalPanelAppearance::create(QDBusConnection::sessionBus()));
    platform::StatusBar::setShared(std::make_shared<platform::desktop::TrayStatusBar>());
    const QString projects = QDir::home().filePath(QStringLiteral("Projects"));
    QDir().mkpath(projects);
    Folder folder(QUuid::createUuid(),
                  SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(projects))));
    folder.lightColor = platform::Color(0.0, 0.48, 1.0);
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;

    QWidget window;
    window.setWindowTitle(QStringLiteral("Kestrova icon settings"));
    auto *layout = new QVBoxLayout(&window);
    auto *mainBox = new QGroupBox(QStringLiteral("Main status item"));
    auto *mainIcon = MenuBarItemIconSetting::forMainIcon();
    (new QVBoxLayout(mainBox))->addWidget(mainIcon);
    layout->addWidget(mainBox);
    auto *folderBox = new QGroupBox(QStringLiteral("Folder “Projects”"));
    auto *folderForm = new QFormLayout(folderBox);
    auto *folderIcon = MenuBarItemIconSetting::forFolder(folder.id);
    folderForm->addRow(folderIcon);
    auto *colors = ReusableMenuBarItemColorSetting::forFolder(folder.id);
    folderForm->addRow(QStringLiteral("Icon color:"), colors);
    layout->addWidget(folderBox);
    window.move(120, 90);
    window.show();

    QObject::connect(folderIcon->symbolPicker(), &SymbolPicker::symbolChanged, &window, [&] {
        const auto name = Defaults::get(Defaults::Keys::folders()).at(0).customIconName;
        say(QStringLiteral("picked %1").arg(name.value_or(QStringLiteral("(none)"))));
        QTimer::singleShot(800, &window, [&] {
            grab(QStringLiteral("symbol-picked.png"));
            colors->showPopover();
            colors->choosePaletteColor(ReusableMenuBarItemColorSetting::paletteColors()[1]);
            QTimer::singleShot(800, &window, [&] {
                grab(QStringLiteral("icon-colors.png"));
                if (colors->popover())
                    colors->popover()->close();
                mainIcon->kindButton(MenuBarItemIcon::Kind::custom)->click();
                QTimer::singleShot(800, &window, [&] {
                    grab(QStringLiteral("icon-setting-custom.png"));
                    QCoreApplication::quit();
                });
            });
        });
    });

    QTimer::singleShot(1500, &window, [&] {
        grab(QStringLiteral("icon-settings.png"));
        folderIcon->symbolPicker()->showPicker();
        QTimer::singleShot(800, &window, [&] {
            grab(QStringLiteral("symbol-picker-open.png"));
            SymbolPickerScreen *screen = folderIcon->symbolPicker()->pickerScreen();
            if (!screen) {
                say(QStringLiteral("picker did not open"));
                QCoreApplication::exit(1);
                return;
            }
            QObject::connect(screen->searchField(), &QLineEdit::textChanged, screen,
                             [](const QString &text) { say(QStringLiteral("query %1").arg(text)); });
            say(QStringLiteral("picker open"));
        });
    });
    return application.exec();
}
