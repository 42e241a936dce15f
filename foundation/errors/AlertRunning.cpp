#include "AlertRunning.h"

#include <QEventLoop>

#include <memory>

namespace kestrova {

int runModalSheet(platform::Alert &alert, QWindow *window) {
    struct SheetState {
        bool dismissed = false;
        int response = platform::ModalResponse::abort;
        QEventLoop *loop = nullptr;
    };
    auto state = std::make_shared<SheetState>();
    platform::AlertPresenter::shared().beginSheet(alert, window, [state](int response) {
        state->response = response;
        state->dismissed = true;
        if (state->loop)
            state->loop->quit();
    });
    // Starting the loop after the sheet already ended would leave nobody to stop it.
    if (!state->dismissed) {
        QEventLoop loop;
        state->loop = &loop;
        loop.exec(QEventLoop::DialogExec);
        state->loop = nullptr;
    }
    return state->response;
}

const std::set<int> &functionKeys() {
    static const std::set<int> keys = [] {
        std::set<int> values;
        for (int key = Qt::Key_F1; key <= Qt::Key_F35; ++key)
            values.insert(key);
        return values;
    }();
    return keys;
}

} // namespace kestrova
