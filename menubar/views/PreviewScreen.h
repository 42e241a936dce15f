#pragma once

#include "menubar/FileDetails.h"
#include "menubar/views/FileInfoViews.h"

#include "platform/observation/Binding.h"

#include <QUrl>
#include <QWidget>

#include <memory>
#include <optional>

class QVBoxLayout;

namespace kestrova {

class QuickLookPreview;

// The large preview at the top of a file's submenu, 400 points wide: the thumbnail as a picture (its
// proportions kept, at most 400 points high), or a preview box of `previewHeight` points showing the
// file's text or picture; either way no taller than `tallest`. Dragging it drags the file out of the menu;
// `isMenuOpen` turns false at once.
class PreviewScreen : public FileDragView {
    Q_OBJECT

public:
    PreviewScreen(QUrl url, FilePreviewContent content, double previewHeight,
                  std::optional<platform::Binding<bool>> isMenuOpen, double tallest = kPreviewSide,
                  QWidget *parent = nullptr);

    // The size of the picture or preview box, without the padding.
    QSize boxSize() const;

private:
    QuickLookPreview *m_box;
};

// The preview row as the file's details come in: the drag handle until a picture or a text arrives, then
// the preview screen; the drag handle stays for files with nothing to show, empty files and files whose
// reading ran out of time.
class FilePreviewRow : public QWidget {
    Q_OBJECT

public:
    FilePreviewRow(std::shared_ptr<FileDetails> details, std::optional<platform::Binding<bool>> isMenuOpen,
                   QWidget *parent = nullptr);

    // The view shown now: a DragMeView or a PreviewScreen.
    QWidget *currentView() const { return m_current; }

private:
    void refresh();
    void replaceCurrentView();
    double roomForPreview() const;

    std::shared_ptr<FileDetails> m_details;
    std::optional<platform::Binding<bool>> m_isMenuOpen;
    QVBoxLayout *m_layout;
    QWidget *m_current = nullptr;
};

} // namespace kestrova
