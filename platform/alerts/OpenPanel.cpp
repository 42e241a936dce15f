#include "OpenPanel.h"

#include "platform/SharedService_p.h"

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

SharedService<OpenPanelPresenter, NoDesktopPanelPresenter> &sharedPresenter() {
    static SharedService<OpenPanelPresenter, NoDesktopPanelPresenter> shared;
    return shared;
}

} // namespace

OpenPanelPresenter &OpenPanelPresenter::shared() {
    return sharedPresenter().get();
}

void OpenPanelPresenter::setShared(std::shared_ptr<OpenPanelPresenter> presenter) {
    sharedPresenter().set(std::move(presenter));
}

} // namespace kestrova::platform
