#include "PreviewScreen.h"

#include "FileRows.h"

#include "ui-kit/views/HostingView.h"
#include "ui-kit/views/QuickLookPreview.h"

#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kestrova {

namespace {
// Above and below the preview box.
constexpr int kPadding = 8;
// However small the screen, a preview stays large enough to recognise.
constexpr double kSmallestPreview = 80;
// What the presenter keeps between a menu and the screen's edges.
constexpr int kScreenEdges = 8;
} // namespace

PreviewScreen::PreviewScreen(QUrl url, FilePreviewContent content, double previewHeight,
                             std::optional<platform::Binding<bool>> isMenuOpen, double tallest,
                             QWidget *parent)
    : FileDragView(std::move(url), std::move(isMenuOpen), /*deferMenuClose=*/false, parent)
    , m_box(new QuickLookPreview) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kPadding, 0, kPadding);
    layout->addWidget(m_box, 0, Qt::AlignHCenter);
    QSizeF box(kPreviewSide, previewHeight);
    if (content.kind == FilePreviewContent::Kind::text) {
        m_box->setText(content.text);
    } else {
        m_box->setPicture(content.thumbnail);
        const QSizeF picture = content.thumbnail.deviceIndependentSize();
        // A picture fills the width and keeps its proportions; a previewed one sits in the preview box.
        if (content.shouldUseImage && !picture.isEmpty())
            box.setHeight(picture.scaled(QSizeF(kPreviewSide, kPreviewSide), Qt::KeepAspectRatio).height());
    }
    box.setHeight(std::min(box.height(), tallest));
    m_box->setFixedSize(kPreviewSide, std::max(1, int(std::ceil(box.height()))));
}

QSize PreviewScreen::boxSize() const {
    return m_box->size();
}

FilePreviewRow::FilePreviewRow(std::shared_ptr<FileDetails> details,
                               std::optional<platform::Binding<bool>> isMenuOpen, QWidget *parent)
    : QWidget(parent)
    , m_details(std::move(details))
    , m_isMenuOpen(std::move(isMenuOpen))
    , m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    connect(m_details.get(), &FileDetails::changed, this, &FilePreviewRow::refresh);
    refresh();
}

void FilePreviewRow::refresh() {
    const auto &preview = m_details->preview();
    const auto &facts = m_details->facts();
    if (preview && preview->kind != FilePreviewContent::Kind::dragHandle) {
        if (qobject_cast<PreviewScreen *>(m_current))
            return;
        std::optional<double> ratio;
        if (facts && facts->dimensions && facts->dimensions->height() > 0)
            ratio = double(facts->dimensions->width()) / double(facts->dimensions->height());
        else if (!preview->thumbnail.isNull() && preview->thumbnail.height() > 0)
            ratio = double(preview->thumbnail.width()) / double(preview->thumbnail.height());
        const std::optional<QString> text =
            preview->kind == FilePreviewContent::Kind::text ? std::optional(preview->text) : std::nullopt;
        const double height = previewHeight(text, facts ? facts->fileSize.value_or(0) : 0, ratio, font());
        replaceCurrentView();
        m_current = new PreviewScreen(m_details->url(), *preview, height, m_isMenuOpen, roomForPreview());
        m_layout->addWidget(m_current);
        return;
    }
    auto *handle = qobject_cast<DragMeView *>(m_current);
    if (!handle) {
        replaceCurrentView();
        m_current = handle = new DragMeView(m_details->url(), m_isMenuOpen);
        m_layout->addWidget(m_current);
    }
    if (facts && facts->contentType)
        handle->setContentType(*facts->contentType);
}

// The tallest preview that keeps the submenu on its screen with every other row: on a small screen the
// preview gives way, so that the file's facts, "Show More Info" and "Copy Dimensions" below it can still be
// reached (a menu cannot scroll a row that holds a view).
double FilePreviewRow::roomForPreview() const {
    const QWidget *menu = window();
    const QScreen *screen = menu->screen();
    if (menu == this || !menu->isVisible() || !screen)
        return kPreviewSide;
    const int otherRows = menu->sizeHint().height() - height();
    return std::max(kSmallestPreview,
                    double(screen->availableGeometry().height() - otherRows - 2 * kPadding - kScreenEdges));
}

void FilePreviewRow::replaceCurrentView() {
    if (!m_current)
        return;
    // Later, not now: the view may be running a drag that this change arrived during.
    m_current->hide();
    m_current->deleteLater();
    m_current = nullptr;
}

void setPreviewRowView(platform::MenuItem &item, std::shared_ptr<FileDetails> details,
                       std::optional<platform::Binding<bool>> isMenuOpen) {
    setHostedView(
        item, QStringLiteral("file preview"),
        [details, isMenuOpen = std::move(isMenuOpen)] { return new FilePreviewRow(details, isMenuOpen); },
        /*forceAllowsVibrancy=*/false);
    setExportedForm(item, std::move(details), exportedPreview);
}

} // namespace kestrova
