#pragma once

#include "foundation/images/ImageExport.h"
#include "platform/workspace/SharingServices.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QString>
#include <QUrl>

#include <functional>
#include <variant>
#include <vector>

namespace kestrova {

// One thing to share: a file (or link) or a picture in memory.
using ShareItem = std::variant<QUrl, KvImage>;

// The kinds of share items, for asking which services apply before the items exist.
enum class ShareItemType { url, image };
// A stand-in of the kind: the relative URL "." or an image without pixels.
ShareItem placeholderShareItem(ShareItemType type);

// Whether the list holds a picture.
bool containsImage(const std::vector<ShareItem> &items);

// The base of the kit's own sharing services: a title, a picture, and work on share items of either kind.
// As a desktop service it takes files only.
class KvSharingService : public platform::SharingService {
public:
    KvSharingService(QString title, QImage image);

    QString title() const override { return m_title; }
    QImage image() const override { return m_image; }

    virtual bool canPerform(const std::vector<ShareItem> &items) const = 0;
    // Starts the work; its failures are shown to the user by the service.
    virtual void perform(const std::vector<ShareItem> &items) = 0;

    platform::WorkspaceResult perform(const std::vector<QUrl> &items) override;

private:
    QString m_title;
    QImage m_image;
};

// "Save Image": writes the first picture among the items as a PNG file into `destination`, named by
// `imageTitle` (else "Image"), with the picture's own resolution and screenshot mark. A name that is taken
// gets the next free number ("Image (1).png") rather than replacing the file there. The write runs on a
// later turn of the main loop with access to the folder; a failure is shown.
class SaveImageSharingService : public KvSharingService {
public:
    explicit SaveImageSharingService(QUrl destination);

    static bool containsImage(const std::vector<ShareItem> &items) { return kestrova::containsImage(items); }

    QUrl destination;
    std::function<QString()> imageTitle;

    bool canPerform(const std::vector<ShareItem> &items) const override { return containsImage(items); }
    using KvSharingService::perform;
    void perform(const std::vector<ShareItem> &items) override;
    // The same, for whoever waits: done when the file is written (or the failure shown). Gives the file
    // written, or nothing.
    QCoro::Task<std::optional<QUrl>> save(std::vector<ShareItem> items);
};

} // namespace kestrova
