// Time from "open" to the end of a menu's first paint, for the presenter and for a bare one-column QMenu
// with the same rows built in the same run, at 100, 1,000, 10,000 and 50,000 rows with icons. Two kinds of
// presenter menu: plain rows, and rows as a folder's menu has them (every row with a lazily built
// submenu, one row in ten a folder with its own icon, the presenter's real row style and icon size).
// Prints the medians and the ratios, then for the folder-like menus the time of a wheel notch and the
// resident memory before, while and after the menu is open. Runs on the offscreen platform unless told
// otherwise.
#include "platform/menus/Menu.h"
#include "platform/desktop/menus/MenuPresenter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPixmap>
#include <QProxyStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include <malloc.h>
#include <unistd.h>

using kestrova::platform::LazySubmenu;
using kestrova::platform::Menu;
using kestrova::platform::MenuItem;
using kestrova::platform::desktop::MenuPresenter;

namespace {

// Fewer rounds for the big menus, whose single round already takes long enough to be stable.
int repetitionsFor(int rows) {
    return rows <= 1000 ? 7 : rows <= 10000 ? 3 : 1;
}

// Paints the widget itself on its first paint event and notes when that paint has ended.
class FirstPaintWatch : public QObject {
public:
    bool painted = false;
    qint64 nanoseconds = 0;
    QElapsedTimer clock;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::Paint || painted)
            return false;
        watched->event(event);
        nanoseconds = clock.nsecsElapsed();
        painted = true;
        return true;
    }
};

// The baseline keeps to one column, as the presenter does.
class OneColumnStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *data) const override {
        if (hint == SH_Menu_Scrollable)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

QImage rowImage(QColor color) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

QString rowTitle(int row) {
    return row % 10 == 0 ? QStringLiteral("Dossier numéro %1").arg(row)
                         : QStringLiteral("File number %1 with spaces.txt").arg(row);
}

double waitForFirstPaint(FirstPaintWatch &watch) {
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return double(watch.nanoseconds) / 1e6;
}

double timeBareMenu(int rows, const QImage &image, QStyle *style) {
    FirstPaintWatch watch;
    watch.clock.start();
    // Built at opening, as the presenter builds its rows.
    auto menu = std::make_unique<QMenu>();
    menu->setStyle(style);
    menu->installEventFilter(&watch);
    const QIcon icon(QPixmap::fromImage(image));
    for (int row = 0; row < rows; ++row)
        menu->addAction(icon, rowTitle(row));
    menu->popup(QPoint(0, 0));
    const double milliseconds = waitForFirstPaint(watch);
    menu->hide();
    return milliseconds;
}

double timePresenter(MenuPresenter &presenter, const std::shared_ptr<Menu> &model) {
    FirstPaintWatch watch;
    watch.clock.start();
    QMenu *menu = presenter.present(model);
    menu->installEventFilter(&watch);
    menu->popup(QPoint(0, 0));
    const double milliseconds = waitForFirstPaint(watch);
    menu->removeEventFilter(&watch);
    presenter.close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return milliseconds;
}

std::shared_ptr<Menu> plainMenu(int rows, const QImage &image) {
    auto model = std::make_shared<Menu>();
    for (int row = 0; row < rows; ++row) {
        auto item = std::make_shared<MenuItem>(rowTitle(row));
        item->setImage(image);
        item->setAction([] {});
        model->addItem(item);
    }
    return model;
}

// As a folder's menu: each row opens its entry's submenu, built only when it opens.
std::shared_ptr<Menu> folderMenu(int rows, const QImage &fileImage, const QImage &folderImage) {
    auto model = std::make_shared<Menu>();
    for (int row = 0; row < rows; ++row) {
        auto item = std::make_shared<MenuItem>(rowTitle(row));
        item->setImage(row % 10 == 0 ? folderImage : fileImage);
        item->setAction([] {});
        item->setLazySubmenu(std::make_shared<Menu>(),
                             {.build =
                                  [] {
                                      auto built = std::make_shared<Menu>();
                                      built->addItem(std::make_shared<MenuItem>(QStringLiteral("Open")));
                                      return built;
                                  },
                              .clearsOnClose = true});
        model->addItem(item);
    }
    return model;
}

// Resident memory of the process in megabytes.
double residentMegabytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(getpagesize()) / (1024.0 * 1024.0) : 0;
}

// The mean time of one wheel notch over an open menu, repainted each time, and the memory the open menu
// holds and keeps once closed.
void measureScrollingAndMemory(MenuPresenter &presenter, const std::shared_ptr<Menu> &model, int rows,
                               const char *presenting) {
    constexpr int kNotches = 50;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const double before = residentMegabytes();
    QMenu *menu = presenter.popup(model, QPoint(0, 0));
    while (!menu->isVisible())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    const double open = residentMegabytes();
    QElapsedTimer clock;
    clock.start();
    for (int notch = 0; notch < kNotches; ++notch) {
        const QPointF inside = QPointF(menu->rect().center());
        QWheelEvent wheel(inside, menu->mapToGlobal(inside), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(menu, &wheel);
        menu->repaint();
    }
    const double notchMilliseconds = double(clock.nsecsElapsed()) / 1e6 / kNotches;
    presenter.close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const double closed = residentMegabytes();
    // What the allocator still keeps of memory freed, as opposed to memory still in use.
    malloc_trim(0);
    std::printf("%8d %14s %14.3f %12.1f %12.1f %12.1f %12.1f\n", rows, presenting, notchMilliseconds, before,
                open, closed, residentMegabytes());
    std::fflush(stdout);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QImage fileImage = rowImage(QColor(70, 110, 200));
    const QImage folderImage = rowImage(QColor(200, 160, 60));
    OneColumnStyle oneColumn;
    MenuPresenter presenter;

    // First, while the heap is still small: memory and scrolling, with the window and with an action per row.
    std::printf("%8s %14s %14s %12s %12s %12s %12s\n", "rows", "presenting", "wheel notch ms", "RSS before",
                "RSS open", "RSS closed", "RSS trimmed");
    for (const int rows : {1000, 10000, 50000}) {
        const auto folder = folderMenu(rows, fileImage, folderImage);
        measureScrollingAndMemory(presenter, folder, rows, "window");
        presenter.setWindowedAbove(std::numeric_limits<std::size_t>::max());
        measureScrollingAndMemory(presenter, folder, rows, "action per row");
        presenter.setWindowedAbove(MenuPresenter::kDefaultWindowedAbove);
    }

    // Where showing only the rows on screen starts to pay: both ways of presenting, at the sizes around it.
    std::printf("%8s %18s %18s\n", "rows", "action per row ms", "rows on screen ms");
    for (const int rows : {25, 50, 100, 200, 400}) {
        const auto folder = folderMenu(rows, fileImage, folderImage);
        std::vector<double> perRow;
        std::vector<double> windowed;
        for (int repetition = 0; repetition <= repetitionsFor(rows); ++repetition) {
            presenter.setWindowedAbove(std::size_t(rows));
            perRow.push_back(timePresenter(presenter, folder));
            presenter.setWindowedAbove(0);
            windowed.push_back(timePresenter(presenter, folder));
        }
        std::printf("%8d %18.2f %18.2f\n", rows, median(perRow), median(windowed));
    }
    presenter.setWindowedAbove(MenuPresenter::kDefaultWindowedAbove);

    std::printf("%8s %14s %14s %8s %14s %8s\n", "rows", "bare QMenu ms", "plain rows ms", "ratio",
                "folder rows ms", "ratio");
    for (const int rows : {100, 1000, 10000, 50000}) {
        const auto plain = plainMenu(rows, fileImage);
        const auto folder = folderMenu(rows, fileImage, folderImage);
        // One untimed round each, so fonts and caches are warm for every kind.
        timeBareMenu(rows, fileImage, &oneColumn);
        timePresenter(presenter, plain);
        timePresenter(presenter, folder);
        std::vector<double> bare;
        std::vector<double> presentedPlain;
        std::vector<double> presentedFolder;
        for (int repetition = 0; repetition < repetitionsFor(rows); ++repetition) {
            bare.push_back(timeBareMenu(rows, fileImage, &oneColumn));
            presentedPlain.push_back(timePresenter(presenter, plain));
            presentedFolder.push_back(timePresenter(presenter, folder));
        }
        const double bareMedian = median(bare);
        const double plainMedian = median(presentedPlain);
        const double folderMedian = median(presentedFolder);
        std::printf("%8d %14.2f %14.2f %8.2f %14.2f %8.2f\n", rows, bareMedian, plainMedian,
                    plainMedian / bareMedian, folderMedian, folderMedian / bareMedian);
        std::fflush(stdout);
    }
    return 0;
}
