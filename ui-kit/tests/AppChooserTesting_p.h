#pragma once

#include "ui-kit/windows/AppChooserDialog.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeApplicationRegistry.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QApplication>

namespace kestrova::testing {

inline platform::Application testApplication(const QString &name, const QString &id) {
    return {id, name, QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/") + id), {}};
}

// A fake application registry with two applications, and scripted alerts and panels.
struct FakeApplications {
    ScopedFakeApplicationRegistry fake;
    ScopedScriptedPresenters presenters;
    const platform::Application editor =
        testApplication(QStringLiteral("Editor"), QStringLiteral("editor.desktop"));
    const platform::Application viewer =
        testApplication(QStringLiteral("Viewer"), QStringLiteral("viewer.desktop"));
};

// The application chooser on screen, once it shows; null when none shows.
inline AppChooserDialog *shownChooser() {
    AppChooserDialog *shown = nullptr;
    processEventsUntil([&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<AppChooserDialog *>(widget); dialog && dialog->isVisible())
                shown = dialog;
        }
        return shown != nullptr;
    });
    return shown;
}

} // namespace kestrova::testing
