#include "DirectoryPicker.h"

#include "foundation/errors/ErrorPresentation.h"

#include "foundation/files/FileUrl.h"
#include "platform/alerts/Alert.h"
#include "platform/alerts/OpenPanel.h"

#include <QPointer>
#include <QWidget>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::DirectoryPicker {

namespace {

// The system's code for a write refused because the volume or folder is read-only.
constexpr qint64 kFileWriteVolumeReadOnly = 642;

const char kProbeNameTemplate[] = "/.kestrova-write-check-XXXXXX";

std::shared_ptr<platform::OpenPanel> makePanel(const Options &options) {
    auto panel = std::make_shared<platform::OpenPanel>();
    panel->canChooseFiles = false;
    panel->canChooseDirectories = true;
    panel->canCreateDirectories = options.canCreateDirectories;
    panel->allowsMultipleSelection = options.allowsMultipleSelection;
    if (options.directoryUrl)
        panel->directoryUrl = *options.directoryUrl;
    panel->prompt = options.prompt.value_or(QStringLiteral("Choose"));
    if (options.message)
        panel->message = *options.message;
    if (options.accessoryText)
        panel->accessoryText = *options.accessoryText;
    // Only a filter makes the panel ask about each item.
    if (options.shouldEnable) {
        auto handler = std::make_shared<OpenPanelDelegateHandler>();
        handler->shouldEnable = options.shouldEnable;
        panel->shouldEnable = [handler](const QUrl &url) { return handler->shouldEnableUrl(url); };
    }
    return panel;
}

} // namespace

Error readOnlyDirectoryError() {
    return Error(
        ErrorDomain::system, kFileWriteVolumeReadOnly,
        {{ErrorKey::localizedDescription,
          QStringLiteral("The chosen directory is read-only and cannot be used.")},
         {ErrorKey::localizedRecoverySuggestion, QStringLiteral("Try choosing a different directory.")}});
}

std::optional<Error> writabilityError(const QUrl &url) {
    const QByteArray path = url::localPath(url);
    struct stat status {};
    if (!path.isEmpty() && ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode)) {
        QByteArray probe = path == "/" ? QByteArray(kProbeNameTemplate) : path + kProbeNameTemplate;
        const int descriptor = ::mkostemp(probe.data(), O_CLOEXEC);
        if (descriptor < 0)
            return readOnlyDirectoryError();
        ::close(descriptor);
        ::unlink(probe.constData());
        return std::nullopt;
    }
    // O_EXCL: an item that is already there is refused, never truncated.
    const int descriptor =
        path.isEmpty() ? -1 : ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        const int code = path.isEmpty() ? EINVAL : errno;
        return posixError(code, QStringLiteral("Could not write to “%1”").arg(QString::fromLocal8Bit(path)));
    }
    ::close(descriptor);
    ::unlink(path.constData());
    return std::nullopt;
}

QCoro::Task<std::vector<QUrl>> chooseDirectories(Options options) {
    const QPointer<QWidget> window = options.window;
    while (true) {
        auto panel = makePanel(options);
        QWindow *sheetParent = window ? window->window()->windowHandle() : nullptr;
        const int response = co_await platform::OpenPanelPresenter::shared().begin(panel, sheetParent);
        if (response != platform::ModalResponse::ok)
            co_return std::vector<QUrl>{};
        if (!options.ensureWritable)
            co_return panel->urls;
        std::optional<Error> failure;
        for (const QUrl &url : panel->urls) {
            failure = writabilityError(url);
            if (failure)
                break;
        }
        if (!failure)
            co_return panel->urls;
        // The next panel keeps every option, the check included, so a failing folder never gets through.
        co_await presentAsync(*failure, window ? window->window()->windowHandle() : nullptr);
    }
}

QCoro::Task<std::optional<QUrl>> chooseDirectory(Options options) {
    options.allowsMultipleSelection = false;
    const std::vector<QUrl> urls = co_await chooseDirectories(std::move(options));
    if (urls.empty())
        co_return std::nullopt;
    co_return urls.front();
}

} // namespace kestrova::DirectoryPicker
