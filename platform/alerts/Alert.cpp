#include "Alert.h"

#include "platform/SharedService_p.h"

#include <QCoro/QCoroTimer>
#include <QTimer>

#include <cstdio>
#include <mutex>

namespace kestrova::platform {

std::size_t Alert::addButton(const QString &title) {
    Button button{title, {}, false};
    if (buttons.empty())
        button.keyEquivalent = QStringLiteral("\r");
    else if (title == QStringLiteral("Cancel"))
        button.keyEquivalent = QStringLiteral("\x1b");
    buttons.push_back(std::move(button));
    return buttons.size() - 1;
}

void Alert::setDefaultButton(int index) {
    for (auto &button : buttons)
        if (button.keyEquivalent == QStringLiteral("\r"))
            button.keyEquivalent.clear();
    if (index == -1)
        return;
    Q_ASSERT(index >= 0 && std::size_t(index) < buttons.size());
    if (index >= 0 && std::size_t(index) < buttons.size())
        buttons[std::size_t(index)].keyEquivalent = QStringLiteral("\r");
}

QCoro::Task<int> AlertPresenter::run(std::shared_ptr<Alert> alert) {
    // A zero timer hands the alert to a later turn of the event loop.
    QTimer turn;
    turn.setSingleShot(true);
    turn.start(0);
    co_await turn;
    co_return runModal(*alert);
}

namespace {

// Used until a presenter is installed: answers no button at all, so that nothing is confirmed by accident,
// and says on standard error which alert went unseen.
class NoDesktopPresenter final : public AlertPresenter {
public:
    int runModal(Alert &alert) override {
        std::fprintf(stderr, "Kestrova: no alert can be shown here: %s\n",
                     alert.messageText.toUtf8().constData());
        return ModalResponse::abort;
    }
    void beginSheet(Alert &alert, QWindow *, std::function<void(int)> completion) override {
        completion(runModal(alert));
    }
};

SharedService<AlertPresenter, NoDesktopPresenter> &sharedPresenter() {
    static SharedService<AlertPresenter, NoDesktopPresenter> shared;
    return shared;
}

} // namespace

AlertPresenter &AlertPresenter::shared() {
    return sharedPresenter().get();
}

void AlertPresenter::setShared(std::shared_ptr<AlertPresenter> presenter) {
    sharedPresenter().set(std::move(presenter));
}

} // namespace kestrova::platform
