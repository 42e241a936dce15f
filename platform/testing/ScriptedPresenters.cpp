#include "ScriptedPresenters.h"

namespace kestrova::testing {

int ScriptedAlertPresenter::runModal(platform::Alert &alert) {
    int response = platform::ModalResponse::abort;
    if (!m_script.empty()) {
        auto responder = std::move(m_script.front());
        m_script.pop_front();
        response = responder(alert);
    }
    m_shown.push_back(alert);
    return response;
}

void ScriptedAlertPresenter::beginSheet(platform::Alert &alert, QWindow *window,
                                        std::function<void(int)> completion) {
    m_sheetWindows.push_back(window);
    completion(runModal(alert));
}

int ScriptedOpenPanelPresenter::runModal(platform::OpenPanel &panel, QWindow *) {
    std::optional<std::vector<QUrl>> answer;
    if (!m_script.empty()) {
        answer = std::move(m_script.front());
        m_script.pop_front();
    }
    panel.urls = answer.value_or(std::vector<QUrl>{});
    m_shown.push_back(panel);
    return answer ? platform::ModalResponse::ok : platform::ModalResponse::cancel;
}

ScopedScriptedPresenters::ScopedScriptedPresenters() {
    platform::AlertPresenter::setShared(m_alerts);
    platform::OpenPanelPresenter::setShared(m_openPanels);
}

ScopedScriptedPresenters::~ScopedScriptedPresenters() {
    platform::AlertPresenter::setShared(nullptr);
    platform::OpenPanelPresenter::setShared(nullptr);
}

} // namespace kestrova::testing
