// Time from "open" to the end of a menu's first paint, for the presenter and for a bare QMenu with the
// same rows built in the same run, at 100, 1,000 and 5,000 rows with icons. Prints the medians and the
// ratio (the goal is at most 1.3 at 1,000 rows). Runs on the offscreen platform unless told otherwise.
#include "platform/Menu.h"
#include "platform/desktop/MenuPresenter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using kestrova::platform::Menu;
using kestrova::platform::MenuItem;
using kestrova::platform::desktop::MenuPresenter;

namespace {

constexpr int kRepetitions = 7;

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

QImage rowImage() {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(70, 110, 200));
    return image;
}

double waitForFirstPaint(FirstPaintWatch &watch) {
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return double(watch.nanoseconds) / 1e6;
}

double timeBareMenu(int rows, const QImage &image) {
    FirstPaintWatch watch;
    watch.clock.start();
    // Built at opening, as the presenter builds its rows.
    auto menu = std::make_unique<QMenu>();
    menu->installEventFilter(&watch);
    const QIcon icon(QPixmap::fromImage(image));
    for (int row = 0; row < rows; ++row)
        menu->addAction(icon, QStringLiteral("File number %1.txt").arg(row));
    menu->popup(QPoint(0, 0));
    const double milliseconds = waitForFirstPaint(watch);
    menu->hide();
    return milliseconds;
}

double timePresenter(MenuPresenter &presenter, const std::shared_ptr<Menu> &model) {
    FirstPaintWatch watch;
    QMenu *menu = presenter.present(model);
    menu->installEventFilter(&watch);
    watch.clock.start();
    menu->popup(QPoint(0, 0));
    const double milliseconds = waitForFirstPaint(watch);
    menu->removeEventFilter(&watch);
    presenter.close();
    QCoreApplication::processEvents();
    return milliseconds;
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
    const QImage image = rowImage();
    MenuPresenter presenter;

    std::printf("%8s %14s %14s %8s\n", "rows", "bare QMenu ms", "presenter ms", "ratio");
    for (const int rows : {100, 1000, 5000}) {
        auto model = std::make_shared<Menu>();
        for (int row = 0; row < rows; ++row) {
            auto item = std::make_shared<MenuItem>(QStringLiteral("File number %1.txt").arg(row));
            item->setImage(image);
            item->setAction([] {});
            model->addItem(item);
        }
        // One untimed round each, so fonts and caches are warm for both.
        timeBareMenu(rows, image);
        timePresenter(presenter, model);
        std::vector<double> bare;
        std::vector<double> presented;
        for (int repetition = 0; repetition < kRepetitions; ++repetition) {
            bare.push_back(timeBareMenu(rows, image));
            presented.push_back(timePresenter(presenter, model));
        }
        const double bareMedian = median(bare);
        const double presentedMedian = median(presented);
        std::printf("%8d %14.2f %14.2f %8.2f\n", rows, bareMedian, presentedMedian,
                    presentedMedian / bareMedian);
    }
    return 0;
}
