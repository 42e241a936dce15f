// Three tray status items with model menus (icon and title, icon alone, title alone), for looking at the
// tray by hand or from tools/e2e.
//
// It prints one line per event on standard output:
//   placed <name> <x> <y> <width> <height>   an icon has its place in the tray
//   opened <name>                            that item's menu opened
//   screenshot <path>                        the screen was saved while a menu was open
// With --screenshot-dir DIR each opened menu is saved as DIR/<name>-menu.png; with --quit-after N the
// program ends after the N-th screenshot.
//
// With --file-preview-screenshot PATH it shows no tray icons: it opens the submenu of a sample picture
// (preview, information rows) as a folder menu would, saves the screen to PATH once the rows have been
// filled in, and ends; exit status 1 when the rows never were.
#include "menubar/FileActions.h"
#include "menubar/MenuBarItem.h"
#include "platform/menus/Menu.h"
#include "platform/status/SymbolImage.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/desktop/tray/TrayStatusItem.h"
#include "ui-kit/menus/KvMenu.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <map>
#include <set>
#include <memory>

using namespace kestrova;
using platform::MenuItem;
using platform::Modifier;

namespace {

void say(const QString &line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

std::shared_ptr<MenuItem> add(platform::Menu &menu, const QString &title, const QString &symbol = {}) {
    auto item = std::make_shared<MenuItem>(title);
    item->setAction([title] { say(QStringLiteral("chose %1").arg(title)); });
    if (!symbol.isEmpty())
        item->setImage(platform::SymbolImage(symbol).tintedImage(QColor(60, 60, 60)));
    return menu.addItem(item);
}

void buildFolderMenu(KvMenu &menu, const QString &folder) {
    auto header = std::make_shared<MenuItem>();
    platform::AttributedText title(folder);
    QFont bold = QApplication::font();
    bold.setBold(true);
    title.setFont(bold);
    header->setAttributedTitle(title);
    header->setEnabled(false);
    menu.addItem(header);
    menu.addSeparator();
    add(menu, QStringLiteral("R&D notes.txt"), QStringLiteral("doc.text"));
    add(menu, QStringLiteral("Photos"), QStringLiteral("folder"));
    auto copy = add(menu, QStringLiteral("Copy"));
    auto copyPath = add(menu, QStringLiteral("Copy Path"));
    copyPath->setAlternate(true);
    copyPath->setKeyEquivalentModifierMask(Modifier::option);
    auto projects = add(menu, QStringLiteral("Projects"), QStringLiteral("folder"));
    projects->setLazySubmenu(std::make_shared<platform::Menu>(), {.build = [] {
                                 auto built = std::make_shared<platform::Menu>();
                                 add(*built, QStringLiteral("plan.md"), QStringLiteral("doc.text"));
                                 add(*built, QStringLiteral("budget.ods"), QStringLiteral("doc.text"));
                                 return built;
                             }});
    auto preview = std::make_shared<MenuItem>();
    preview->setHostedView(platform::desktop::HostedWidgetFactory::create(QStringLiteral("preview"), [] {
        auto *label = new QLabel(QStringLiteral("  hosted view: 3 items, 12 KB  "));
        label->setStyleSheet(QStringLiteral("color: #336; padding: 4px;"));
        return label;
    }));
    menu.addItem(preview);
    menu.addSeparator();
    auto explanation = std::make_shared<MenuItem>();
    platform::AttributedText wrapped(
        QStringLiteral("Hold Alt to see more actions.\nClick another icon to switch."));
    wrapped.setColor(platform::TextColor::secondaryLabel());
    explanation->setAttributedTitle(wrapped);
    explanation->setEnabled(false);
    menu.addItem(explanation);
    auto quit = add(menu, QStringLiteral("Quit"));
    quit->setKeyEquivalent(QStringLiteral("q"));
    quit->setAction([] { QCoreApplication::quit(); });
}

// A landscape picture with some shapes, so that a screenshot shows whether it was scaled and kept its
// proportions.
QString writeSamplePicture(const QString &folder) {
    QImage picture(960, 540, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, 540);
    sky.setColorAt(0, QColor(70, 130, 220));
    sky.setColorAt(1, QColor(250, 200, 120));
    painter.fillRect(picture.rect(), sky);
    painter.setBrush(QColor(255, 240, 150));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(720, 160), 70, 70);
    painter.setBrush(QColor(40, 90, 60));
    painter.drawPolygon(QPolygonF({QPointF(0, 540), QPointF(300, 250), QPointF(560, 540)}));
    painter.setBrush(QColor(60, 120, 80));
    painter.drawPolygon(QPolygonF({QPointF(380, 540), QPointF(700, 300), QPointF(960, 540)}));
    painter.end();
    const QString path = QDir(folder).filePath(QStringLiteral("Mountains at dusk.png"));
    picture.save(path);
    return path;
}

int showFilePreview(QApplication &application, const QString &screenshotPath) {
    QTemporaryDir folder;
    const QUrl url = QUrl::fromLocalFile(writeSamplePicture(folder.path()));
    const auto menu = fileSubmenu(url, nullptr);
    platform::desktop::MenuPresenter presenter;
    presenter.popup(menu, QPoint(40, 40));
    say(QStringLiteral("opened %1").arg(url.fileName()));

    // "Copy Dimensions" is offered once the file has been read: then the rows are filled in.
    std::shared_ptr<MenuItem> copyDimensions;
    for (const auto &item : menu->items()) {
        if (item->title() == QStringLiteral("Copy Dimensions"))
            copyDimensions = item;
    }
    int status = 1;
    auto *poll = new QTimer(&application);
    int polls = 0;
    QObject::connect(poll, &QTimer::timeout, &application, [&] {
        const bool isRead = copyDimensions && !copyDimensions->isHidden();
        if (!isRead && ++polls < 100)
            return;
        poll->stop();
        // Give the grown menu a moment to be painted.
        QTimer::singleShot(500, &application, [&, isRead] {
            QGuiApplication::primaryScreen()->grabWindow(0).save(screenshotPath);
            say(QStringLiteral("screenshot %1").arg(screenshotPath));
            status = isRead ? 0 : 1;
            presenter.close();
            QCoreApplication::quit();
        });
    });
    poll->start(100);
    application.exec();
    return status;
}

} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption screenshotDir(QStringLiteral("screenshot-dir"),
                                     QStringLiteral("Where to save screenshots."), QStringLiteral("dir"));
    QCommandLineOption quitAfter(QStringLiteral("quit-after"),
                                 QStringLiteral("Quit after this many screenshots."),
                                 QStringLiteral("count"));
    QCommandLineOption filePreview(
        QStringLiteral("file-preview-screenshot"),
        QStringLiteral("Show a sample picture's file submenu and save the screen."), QStringLiteral("path"));
    parser.addOptions({screenshotDir, quitAfter, filePreview});
    parser.process(application);
    if (parser.isSet(filePreview))
        return showFilePreview(application, parser.value(filePreview));
    const QString directory = parser.value(screenshotDir);
    const int screenshotsBeforeQuit = parser.value(quitAfter).toInt();
    int screenshots = 0;

    platform::StatusBar::setShared(std::make_shared<platform::desktop::TrayStatusBar>());
    std::map<QString, std::unique_ptr<MenuBarItemCoordinator>> items;
    // One item of each look a folder can have: icon and title, icon alone, title alone (in its own colour).
    struct DemoItem {
        QString name;
        QString symbol;
        bool showsTitle;
        QColor color;
    };
    for (const DemoItem &demo :
         {DemoItem{QStringLiteral("Downloads"), QStringLiteral("arrow.down.circle"), true, {}},
          DemoItem{QStringLiteral("Documents"), QStringLiteral("folder"), false, {}},
          DemoItem{QStringLiteral("Work Notes"), {}, true, QColor(30, 110, 200)}}) {
        const QString &name = demo.name;
        MenuBarItem item;
        item.id = name;
        item.toolTip = name;
        if (demo.showsTitle)
            item.title = name;
        if (!demo.symbol.isEmpty()) {
            const platform::SymbolImage symbol(demo.symbol,
                                               platform::SymbolImage::standardPointSize(demo.symbol));
            item.icon = StatusItemIcon{symbol.image(), true, symbol};
        }
        if (demo.color.isValid())
            item.lightIconColor = demo.color;
        item.buildMenu = [name](KvMenu &menu) { buildFolderMenu(menu, name); };
        item.isMenuOpen =
            platform::Binding<bool>([] { return false; },
                                    [&, name](const bool &open) {
                                        if (!open)
                                            return;
                                        say(QStringLiteral("opened %1").arg(name));
                                        if (directory.isEmpty())
                                            return;
                                        // Give the menu a moment to be painted and shown.
                                        QTimer::singleShot(600, &application, [&, name] {
                                            const QString path =
                                                QDir(directory).filePath(name + QStringLiteral("-menu.png"));
                                            QGuiApplication::primaryScreen()->grabWindow(0).save(path);
                                            say(QStringLiteral("screenshot %1").arg(path));
                                            if (++screenshots == screenshotsBeforeQuit)
                                                QCoreApplication::quit();
                                        });
                                    });
        items.emplace(name, std::make_unique<MenuBarItemCoordinator>(std::move(item)));
    }

    // Report each icon once the tray has placed it.
    auto *placement = new QTimer(&application);
    auto placed = std::make_shared<std::set<QString>>();
    QObject::connect(placement, &QTimer::timeout, &application, [&items, placed, placement] {
        for (const auto &[name, coordinator] : items) {
            const QRect geometry = coordinator->statusItem()->geometry();
            if (geometry.isEmpty() || placed->contains(name))
                continue;
            placed->insert(name);
            say(QStringLiteral("placed %1 %2 %3 %4 %5")
                    .arg(name)
                    .arg(geometry.x())
                    .arg(geometry.y())
                    .arg(geometry.width())
                    .arg(geometry.height()));
        }
        if (placed->size() == items.size())
            placement->stop();
    });
    placement->start(100);
    return application.exec();
}
