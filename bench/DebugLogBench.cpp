// What the debug window's log page costs with a long log: the refresh it runs each second while shown
// (nothing new; one entry more) and its first paint, against copying the entries out of the store in the
// same run (what any reader of the log must do). Prints medians and ratios at 10,000 and 100,000 entries.
// Runs on the offscreen platform unless told otherwise.
#include "foundation/app/Log.h"
#include "screens/debug/DebugLogScreen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using kestrova::DebugLogScreen;
using kestrova::InAppLogStore;

namespace {

// The median of `rounds` runs of `work`, in milliseconds.
double medianMilliseconds(int rounds, const std::function<void()> &work) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    for (const int count : {10000, 100000}) {
        InAppLogStore store(count);
        for (int index = 0; index < count; ++index)
            store.append(QStringLiteral("\"listing\" %1 entries\n\t[buildMenu in FolderController:120]\n\t"
                                        "2026-12-09T16:00:00Z\n")
                             .arg(index));
        const double copy = medianMilliseconds(9, [&] { (void)store.entries(); });
        DebugLogScreen screen(store);
        screen.resize(800, 500);
        const double firstPaint = medianMilliseconds(1, [&] {
            screen.show();
            (void)screen.grab();
        });
        const double unchanged = medianMilliseconds(9, [&] { screen.model().refresh(); });
        int added = 0;
        const double oneMore = medianMilliseconds(9, [&] {
            store.append(QStringLiteral("new %1\n").arg(added++));
            screen.model().refresh();
            (void)screen.grab();
        });
        std::printf(
            "%6d entries: copy %.2f ms; refresh unchanged %.2f ms (%.1fx); one more + repaint %.2f ms "
            "(%.1fx); first show + paint %.2f ms (%.1fx)\n",
            count, copy, unchanged, unchanged / copy, oneMore, oneMore / copy, firstPaint, firstPaint / copy);
    }
    return 0;
}
