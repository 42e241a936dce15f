#include "OpenPanel.h"

#include "Alert.h"

#include <QCoro/QCoroTimer>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <mutex>

namespace kestrova::platform {

QCoro::Task<int> OpenPanelPresenter::begin(std::shared_ptr<OpenPanel> panel, QWindow *window) {
    QPointer<QWindow> parent = window;
    QTimer turn;
    turn.setSingleShot(true);
    turn.start(0);
    co_await turn;
    co_return runModal(*panel, parent.data());
}

namespace {

// Used until a presenter is installed: every panel is cancelled.
class NoDesktopPanelPresenter final : public OpenPanelPresenter {
public:
    int runModal(OpenPanel &panel, QWindow *) override {
        std::fprintf(stderr, "Kestrova: no file dialog can be shown here: %s\n",
                     panel.message.toUtf8().constData());
        return ModalResponse::cancel;
    }
};

struct SharedPresenter {
    std::mutex mutex;
    std::shared_ptr<OpenPanelPresenter> presenter = std::make_shared<NoDesktopPanelPresenter>();
};

SharedPresenter &sharedPresenter() {
    static SharedPresenter shared;
    return shared;
}

} // namespace

OpenPanelPresenter &OpenPanelPresenter::shared() {
    auto &shared = sharedPresenter();
    std::lock_guard lock(shared.mutex);
    return *shared.presenter;
}

void OpenPanelPresenter::setShared(std::shared_ptr<OpenPanelPresenter> presenter) {
    auto &shared = sharedPresenter();
    std::lock_guard lock(shared.mutex);
    shared.presenter = presenter ? std::move(presenter) : std::make_shared<NoDesktopPanelPresenter>();
}

} // namespace kestrova::platform
