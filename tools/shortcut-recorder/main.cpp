// A window holding one shortcut recorder per stored folder, as the folder configuration will, for the
// end-to-end run to type into with real keys: kestrova_shortcut_recorder. The folders' shortcuts are
// grabbed on start, as the application grabs them. It reports on standard output where each field is
// ("field TITLE X Y W H", global coordinates), each alert it shows ("alert MESSAGE") and each change
// ("changed TITLE DESCRIPTION", or "changed TITLE none").
#include "integration/CarbonShortkeel.h"
#include "integration/ShortkeelKeys.h"
#include "integration/ShortkeelService.h"
#include "integration/views/ShortkeelRecorder.h"
#include "platform/desktop/alerts/MessageBoxAlertPresenter.h"
#include "platform/desktop/hotkeys/HotKeyX11Backend.h"
#include "store/DefaultsKeys.h"
#include "store/Folder.h"

#include <QApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

using namespace kestrova;

namespace {

void say(const QString &line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// The desktop's alerts, each also reported.
class ReportingAlertPresenter final : public platform::desktop::MessageBoxAlertPresenter {
public:
    void beginSheet(platform::Alert &alert, QWindow *window, std::function<void(int)> completion) override {
        say(QStringLiteral("alert ") + alert.messageText);
        MessageBoxAlertPresenter::beginSheet(alert, window, std::move(completion));
    }
};

} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kestrova.org"));
    platform::AlertPresenter::setShared(std::make_shared<ReportingAlertPresenter>());
    std::shared_ptr<platform::desktop::HotKeyBackend> backend = platform::desktop::HotKeyX11Backend::create();
    if (!backend) {
        say(QStringLiteral("not on X11"));
        return 1;
    }
    CarbonShortkeel::setBackend(backend);
    ShortcutService::setShared(std::make_shared<ShortkeelService>());
    QObject::connect(&application, &QCoreApplication::aboutToQuit,
                     [] { CarbonShortkeel::setBackend(nullptr); });

    QWidget window;
    window.setWindowTitle(QStringLiteral("Shortcut recorder"));
    auto *layout = new QVBoxLayout(&window);
    std::vector<std::pair<QString, Shortkeel::Recorder *>> recorders;
    for (const Folder &folder : Defaults::get(Defaults::Keys::folders())) {
        CarbonShortkeel::enable(folder.shortcutName());
        const QString title = folder.title();
        auto *recorder = new Shortkeel::Recorder(
            title + QStringLiteral(":"), folder.shortcutName(),
            [title](const std::optional<Shortkeel::Shortcut> &shortcut) {
                say(QStringLiteral("changed %1 %2")
                        .arg(title, shortcut ? Shortkeel::description(*shortcut) : QStringLiteral("none")));
            });
        layout->addWidget(recorder);
        recorders.emplace_back(title, recorder);
    }
    window.resize(360, window.sizeHint().height());
    window.move(200, 150);
    window.show();
    // Once the window manager placed the window, where each field ended up.
    QTimer::singleShot(500, &window, [&recorders] {
        for (const auto &[title, recorder] : recorders) {
            const QWidget *field = recorder->control();
            const QPoint origin = field->mapToGlobal(QPoint(0, 0));
            say(QStringLiteral("field %1 %2 %3 %4 %5")
                    .arg(title)
                    .arg(origin.x())
                    .arg(origin.y())
                    .arg(field->width())
                    .arg(field->height()));
        }
    });
    return QApplication::exec();
}
