#include "KvSharingService.h"

#include "foundation/files/FileUrl.h"
#include "platform/status/SymbolImage.h"
#include "store/SecurityScopedBookmarkManager.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QTimer>

namespace kestrova {

ShareItem placeholderShareItem(ShareItemType type) {
    if (type == ShareItemType::image)
        return KvImage();
    return QUrl(QStringLiteral("."));
}

bool containsImage(const std::vector<ShareItem> &items) {
    return std::any_of(items.begin(), items.end(),
                       [](const ShareItem &item) { return std::holds_alternative<KvImage>(item); });
}

KvSharingService::KvSharingService(QString title, QImage image)
    : m_title(std::move(title))
    , m_image(std::move(image)) {}

platform::WorkspaceResult KvSharingService::perform(const std::vector<QUrl> &items) {
    const std::vector<ShareItem> shared(items.begin(), items.end());
    if (!canPerform(shared))
        return platform::WorkspaceResult::failed(
            QStringLiteral("“%1” cannot take these items.").arg(title()));
    perform(shared);
    return platform::WorkspaceResult::done();
}

SaveImageSharingService::SaveImageSharingService(QUrl destination)
    : KvSharingService(QStringLiteral("Save Image"),
                       platform::SymbolImage(QStringLiteral("square.and.arrow.down")).image())
    , destination(std::move(destination)) {}

void SaveImageSharingService::perform(const std::vector<ShareItem> &items) {
    QCoro::connect(save(items), QCoreApplication::instance(), [](const std::optional<QUrl> &) {});
}

QCoro::Task<std::optional<QUrl>> SaveImageSharingService::save(std::vector<ShareItem> items) {
    const auto image = std::find_if(items.begin(), items.end(), [](const ShareItem &item) {
        return std::holds_alternative<KvImage>(item);
    });
    if (image == items.end())
        co_return std::nullopt;
    const KvImage picture = std::get<KvImage>(*image);
    // The title names a file in the destination and nothing else: no folders, no way out of it.
    QString name =
        (imageTitle ? imageTitle() : QString()).replace(QLatin1Char('/'), QLatin1Char('-')).trimmed();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("Image");
    const QUrl file = url::appendingPathComponent(destination, name + QStringLiteral(".png"));
    // A later turn, as the menu that chose the service has closed by then.
    QTimer turn;
    turn.setSingleShot(true);
    turn.start(0);
    co_await turn;
    std::optional<QUrl> written;
    co_await SecurityScopedBookmarkManager::access(file, [&] {
        const auto metadata = picture.customMetadata();
        written = picture.write(file, ImageFileType::png, /*uniqueName=*/true, std::nullopt,
                                metadata ? std::optional(metadata->dpi) : std::nullopt, 1,
                                metadata && metadata->isScreenshot);
    });
    co_return written;
}

} // namespace kestrova
