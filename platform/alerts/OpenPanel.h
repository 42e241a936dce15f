#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>
#include <QWindow>

#include <functional>
#include <memory>
#include <vector>

namespace kestrova::platform {

// A request to choose files or folders, as data: the presenter shows it and fills in `urls`.
struct OpenPanel {
    QString title;
    QString message;
    // The confirming button's title; empty keeps the desktop's own.
    QString prompt;
    QUrl directoryUrl;
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
    bool canCreateDirectories = false;
    // Items for which this answers false are shown but cannot be chosen; none enables everything.
    std::function<bool(const QUrl &)> shouldEnable;
    // Shown below the panel's list, as the presenter can (for example the folder being asked for).
    QString accessoryText;

    // The chosen items, once the panel ended with ModalResponse::ok.
    std::vector<QUrl> urls;
};

// Shows open panels. The desktop presenter uses the desktop's file dialog; tests install a scripted one.
// Main thread only.
class OpenPanelPresenter {
public:
    virtual ~OpenPanelPresenter() = default;

    // Runs the panel modally (as a sheet of `window` when there is one) and returns ModalResponse::ok with
    // `panel.urls` filled in, or ModalResponse::cancel.
    virtual int runModal(OpenPanel &panel, QWindow *window) = 0;

    // The same on a later turn of the main event loop, resuming the caller when the panel ends.
    QCoro::Task<int> begin(std::shared_ptr<OpenPanel> panel, QWindow *window = nullptr);

    static OpenPanelPresenter &shared();
    static void setShared(std::shared_ptr<OpenPanelPresenter> presenter);
};

} // namespace kestrova::platform
