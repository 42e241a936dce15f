#include "CustomIconPicker.h"

#include "CustomIconImport.h"

#include "platform/alerts/Alert.h"
#include "platform/alerts/OpenPanel.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QWindow>

#include <memory>

namespace kestrova {

namespace {
const QString kButtonTitle = QStringLiteral("Choose File…");
}

CustomIconPicker::CustomIconPicker(platform::Binding<std::optional<platform::Image>> icon, QWidget *parent)
    : QWidget(parent)
    , m_icon(std::move(icon))
    , m_button(new QPushButton(kButtonTitle)) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, &CustomIconPicker::chooseFile);
}

void CustomIconPicker::chooseFile() {
    platform::OpenPanel panel;
    panel.title = QStringLiteral("Choose Icon");
    panel.message = QStringLiteral("Choose a PNG or HEIC image for the status icon.");
    panel.canChooseFiles = true;
    panel.canChooseDirectories = false;
    panel.allowsMultipleSelection = false;
    panel.shouldEnable = [](const QUrl &url) {
        const QFileInfo info(url.toLocalFile());
        const QString suffix = info.suffix().toLower();
        return info.isDir() || suffix == QLatin1String("png") || suffix == QLatin1String("heic") ||
               suffix == QLatin1String("heif");
    };
    const int response = platform::OpenPanelPresenter::shared().runModal(panel, window()->windowHandle());
    // Cancelled: nothing changes and nothing is said.
    if (response != platform::ModalResponse::ok || panel.urls.empty())
        return;
    importFile(panel.urls.front().toLocalFile());
}

void CustomIconPicker::importFile(const QString &path) {
    m_isImporting = true;
    m_button->setEnabled(false);
    CustomIconImport::start(path, this, [this](const CustomIconImport::Result &result) {
        m_isImporting = false;
        m_button->setEnabled(true);
        if (result.isSuccess()) {
            m_icon.set(result.image);
            Q_EMIT importFinished(true);
            return;
        }
        // The presenter fills the alert in when it closes: it lives until then.
        auto alert = std::make_shared<platform::Alert>();
        alert->messageText = CustomIconImport::errorTitle();
        alert->informativeText = result.reason;
        alert->alertStyle = platform::Alert::Style::warning;
        platform::AlertPresenter::shared().beginSheet(*alert, window()->windowHandle(), [alert](int) {});
        Q_EMIT importFinished(false);
    });
}

} // namespace kestrova
