#pragma once

#include "platform/alerts/Alert.h"
#include "platform/alerts/OpenPanel.h"

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace kestrova::testing {

// Answers alerts from a script and records every alert it was shown. An empty script answers with the
// abort response, which matches no button, so that an unexpected alert never confirms anything.
class ScriptedAlertPresenter : public platform::AlertPresenter {
public:
    // Answers the next alert with `response`; a function answer may also set the suppression box.
    void answer(int response) {
        m_script.push_back([response](platform::Alert &) { return response; });
    }
    void answer(std::function<int(platform::Alert &)> responder) { m_script.push_back(std::move(responder)); }

    int runModal(platform::Alert &alert) override;
    void beginSheet(platform::Alert &alert, QWindow *window, std::function<void(int)> completion) override;

    // Copies of the alerts shown, in order, and the window each sheet was shown on (null when modal).
    const std::vector<platform::Alert> &shownAlerts() const { return m_shown; }
    const std::vector<QWindow *> &sheetWindows() const { return m_sheetWindows; }
    std::size_t pendingAnswers() const { return m_script.size(); }

private:
    std::deque<std::function<int(platform::Alert &)>> m_script;
    std::vector<platform::Alert> m_shown;
    std::vector<QWindow *> m_sheetWindows;
};

// Answers open panels from a script (the chosen URLs, or a cancel) and records each panel it was shown.
class ScriptedOpenPanelPresenter : public platform::OpenPanelPresenter {
public:
    void choose(std::vector<QUrl> urls) { m_script.push_back(std::move(urls)); }
    void cancel() { m_script.push_back(std::nullopt); }

    int runModal(platform::OpenPanel &panel, QWindow *window) override;

    const std::vector<platform::OpenPanel> &shownPanels() const { return m_shown; }
    std::size_t pendingAnswers() const { return m_script.size(); }

private:
    std::deque<std::optional<std::vector<QUrl>>> m_script;
    std::vector<platform::OpenPanel> m_shown;
};

// Installs scripted presenters for as long as it lives, and the previous ones again afterwards.
class ScopedScriptedPresenters {
public:
    ScopedScriptedPresenters();
    ~ScopedScriptedPresenters();
    ScopedScriptedPresenters(const ScopedScriptedPresenters &) = delete;
    ScopedScriptedPresenters &operator=(const ScopedScriptedPresenters &) = delete;

    ScriptedAlertPresenter &alerts() { return *m_alerts; }
    ScriptedOpenPanelPresenter &openPanels() { return *m_openPanels; }

private:
    std::shared_ptr<ScriptedAlertPresenter> m_alerts = std::make_shared<ScriptedAlertPresenter>();
    std::shared_ptr<ScriptedOpenPanelPresenter> m_openPanels = std::make_shared<ScriptedOpenPanelPresenter>();
};

} // namespace kestrova::testing
