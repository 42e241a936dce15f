// Shows a settings-like window built with the kit's window classes and, when KESTROVA_SCREENSHOT_DIR is
// set, saves "settings-window.png" there and quits; otherwise it stays up until the window is closed.
// Run it under Xvfb for a real X11 window: xvfb-run -a build/tools/kestrova_window_screenshot
#include "ui-kit/windows/OneOffWindow.h"
#include "ui-kit/windows/WindowAccessor.h"
#include "ui-kit/windows/WindowHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

QWidget *makeSettingsContent() {
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 20, 20, 20);
    auto *form = new QFormLayout;
    auto *sortOrder = new QComboBox;
    sortOrder->addItems(
        {QStringLiteral("Name"), QStringLiteral("Date Added"), QStringLiteral("Date Modified")});
    form->addRow(QStringLiteral("Sort by:"), sortOrder);
    auto *limit = new QSpinBox;
    limit->setRange(0, 1000);
    limit->setValue(50);
    form->addRow(QStringLiteral("Item limit:"), limit);
    form->addRow(QString(), new QCheckBox(QStringLiteral("Show folders in the menu")));
    auto *hidden = new QCheckBox(QStringLiteral("Show hidden files"));
    hidden->setChecked(true);
    form->addRow(QString(), hidden);
    form->addRow(QString(), new QCheckBox(QStringLiteral("Keep folders on top")));
    layout->addLayout(form);
    auto *hint = new QLabel(QStringLiteral("Press Ctrl+W or Escape to close this window."));
    hint->setEnabled(false);
    layout->addWidget(hint);
    auto *done = new QPushButton(QStringLiteral("Done"));
    layout->addWidget(done, 0, Qt::AlignRight);
    QObject::connect(done, &QPushButton::clicked, content, [content] { content->window()->close(); });
    kestrova::windowTitle(content, QStringLiteral("Kestrova Settings"));
    return content;
}

} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    QApplication::setQuitOnLastWindowClosed(false);

    bool isPresented = true;
    kestrova::OneOffWindow settings(kestrova::platform::Binding<bool>([&] { return isPresented; },
                                                                      [&](const bool &value) {
                                                                          isPresented = value;
                                                                          if (!value)
                                                                              QCoreApplication::quit();
                                                                      }),
                                    makeSettingsContent, {.fadeIn = false, .shouldCloseOnEscapePress = true});
    settings.update();

    const QString directory = qEnvironmentVariable("KESTROVA_SCREENSHOT_DIR");
    if (!directory.isEmpty()) {
        QTimer::singleShot(500, &application, [&] {
            QDir().mkpath(directory);
            const QString path = directory + QStringLiteral("/settings-window.png");
            const QImage image = kestrova::snapshot(settings.window(), /*includingFrame=*/false);
            const bool saved = image.save(path);
            std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
