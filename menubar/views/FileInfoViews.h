#pragma once

#include "platform/observation/Binding.h"
#include "platform/menus/MenuItem.h"

#include <QLabel>
#include <QPoint>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QGridLayout;

namespace kestrova {

class FileDetails;

// The first information row: kind, size and pixel size in one line of secondary text. Shows the line as
// soon as the facts arrive (empty until then).
class FileInfo1 : public QLabel {
    Q_OBJECT

public:
    explicit FileInfo1(std::shared_ptr<FileDetails> details, QWidget *parent = nullptr);

private:
    void refresh();

    std::shared_ptr<FileDetails> m_details;
};

// The date rows: "Opened", "Added", "Modified" and "Created", the labels lined up on their colons.
class FileInfo2 : public QWidget {
    Q_OBJECT

public:
    explicit FileInfo2(std::shared_ptr<FileDetails> details, QWidget *parent = nullptr);

    // The value shown beside `label` ("Opened", …); empty before the facts arrive.
    QString valueText(const QString &label) const;

private:
    void refresh();

    std::shared_ptr<FileDetails> m_details;
    QGridLayout *m_grid;
};

// Gives the hosted view that `item` already has the form `makeForm` makes of `details`, for menus that
// another program draws; they are told of a new form whenever the details change.
using ExportedFileForm = std::function<platform::HostedViewFactory::ExportedForm(const FileDetails &)>;
void setExportedForm(platform::MenuItem &item, std::shared_ptr<FileDetails> details,
                     ExportedFileForm makeForm);
// The exported form of the preview row: the thumbnail once there is one; nothing for a text or a file with
// nothing to show.
platform::HostedViewFactory::ExportedForm exportedPreview(const FileDetails &details);

// Starts dragging the file at `url` out of a menu (as a URI list that file managers and editors accept);
// `isMenuOpen` becomes false when the drag starts: at once, or on the next turn of the event loop when
// `deferMenuClose` is set. The source may be gone when this returns.
void dragFileOutOfMenu(QWidget *source, const QUrl &url,
                       const std::optional<platform::Binding<bool>> &isMenuOpen, bool deferMenuClose);

// Watches presses and moves on a view and tells when the mouse moved far enough with the button held to
// start a drag.
class DragStartTracker {
public:
    void press(const QPoint &position) { m_pressPosition = position; }
    void release() { m_pressPosition.reset(); }
    // True once per press.
    bool shouldStartDrag(const QPoint &position, Qt::MouseButtons buttons);

private:
    std::optional<QPoint> m_pressPosition;
};

// A view that drags the file at `url` out of its menu when the mouse moves far enough with the button held.
class FileDragView : public QWidget {
    Q_OBJECT

public:
    FileDragView(QUrl url, std::optional<platform::Binding<bool>> isMenuOpen, bool deferMenuClose,
                 QWidget *parent = nullptr);
    const QUrl &url() const { return m_url; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QUrl m_url;
    std::optional<platform::Binding<bool>> m_isMenuOpen;
    bool m_deferMenuClose;
    DragStartTracker m_tracker;
};

// The file's icon, 32 points large, that can be dragged out of the menu to drag the file itself; the menu
// closes on the next turn of the event loop.
class DragMeView : public FileDragView {
    Q_OBJECT

public:
    DragMeView(QUrl url, std::optional<platform::Binding<bool>> isMenuOpen, QWidget *parent = nullptr);
    // The icon by the file's MIME type, once known; until then the type its name suggests.
    void setContentType(const QString &contentType);

private:
    QLabel *m_icon;
};

} // namespace kestrova
