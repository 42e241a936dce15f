#include "FileInfoViews.h"

#include "FileRows.h"

#include "menubar/ContentTypes_p.h"
#include "menubar/FileDetails.h"
#include "menubar/FileInfoText.h"

#include "platform/workspace/FileIcons.h"
#include "platform/menus/MenuItem.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "ui-kit/utilities/MenuText.h"
#include "ui-kit/views/HostingView.h"

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QGridLayout>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrova {
namespace {

constexpr int kDragIconSide = 32;

// Secondary text, a little fainter still.
void useSecondaryColor(QWidget *widget) {
    QPalette palette = widget->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.55f * 0.8f);
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QLabel *plainLabel(const QString &text = {}) {
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    useSecondaryColor(label);
    return label;
}

// A row of a file's submenu as our popup shows it (the widget `shown` makes), and as the text or picture
// its details make for menus that other programs draw.
class FileDetailsView final : public platform::desktop::HostedWidgetFactory {
public:
    FileDetailsView(std::shared_ptr<const HostedWidgetFactory> shown, std::shared_ptr<FileDetails> details,
                    ExportedFileForm makeForm)
        : HostedWidgetFactory(shown->description(), [shown] { return shown->createWidget(); })
        , m_details(std::move(details))
        , m_makeForm(std::move(makeForm)) {}

    std::optional<ExportedForm> exportedForm() const override { return m_makeForm(*m_details); }

    platform::Subscription observeExportedForm(std::function<void()> changed) const override {
        const auto connection =
            QObject::connect(m_details.get(), &FileDetails::changed, m_details.get(), std::move(changed));
        return platform::Subscription([connection] { QObject::disconnect(connection); });
    }

private:
    std::shared_ptr<FileDetails> m_details;
    ExportedFileForm m_makeForm;
};

} // namespace

FileInfo1::FileInfo1(std::shared_ptr<FileDetails> details, QWidget *parent)
    : QLabel(parent)
    , m_details(std::move(details)) {
    setTextFormat(Qt::PlainText);
    setContentsMargins(menuItemPadding());
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    useSecondaryColor(this);
    connect(m_details.get(), &FileDetails::changed, this, &FileInfo1::refresh);
    refresh();
}

void FileInfo1::refresh() {
    // A space keeps the row one line high until the facts arrive.
    setText(m_details->facts() ? fileInfo1Text(*m_details->facts()) : QStringLiteral(" "));
}

FileInfo2::FileInfo2(std::shared_ptr<FileDetails> details, QWidget *parent)
    : QWidget(parent)
    , m_details(std::move(details))
    , m_grid(new QGridLayout(this)) {
    const QMargins padding = menuItemPadding();
    m_grid->setContentsMargins(padding + QMargins(0, 2, 0, 2));
    m_grid->setVerticalSpacing(6);
    m_grid->setColumnStretch(1, 1);
    const QStringList labels{QStringLiteral("Opened"), QStringLiteral("Added"), QStringLiteral("Modified"),
                             QStringLiteral("Created")};
    for (int row = 0; row < labels.size(); ++row) {
        // One column for the labels, right-aligned, so that they line up on their colons.
        auto *label = plainLabel(labels[row] + QLatin1Char(':'));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setObjectName(labels[row]);
        m_grid->addWidget(label, row, 0);
        m_grid->addWidget(plainLabel(QStringLiteral(" ")), row, 1);
    }
    connect(m_details.get(), &FileDetails::changed, this, &FileInfo2::refresh);
    refresh();
}

QString FileInfo2::valueText(const QString &label) const {
    for (int row = 0; row < m_grid->rowCount(); ++row) {
        auto *name = qobject_cast<QLabel *>(m_grid->itemAtPosition(row, 0)->widget());
        if (name && name->objectName() == label)
            return qobject_cast<QLabel *>(m_grid->itemAtPosition(row, 1)->widget())->text().trimmed();
    }
    return {};
}

void FileInfo2::refresh() {
    if (!m_details->facts())
        return;
    const auto rows = fileInfo2Rows(*m_details->facts());
    for (int row = 0; row < int(rows.size()); ++row)
        qobject_cast<QLabel *>(m_grid->itemAtPosition(row, 1)->widget())
            ->setText(rows[std::size_t(row)].value);
}

void dragFileOutOfMenu(QWidget *source, const QUrl &url,
                       const std::optional<platform::Binding<bool>> &isMenuOpen, bool deferMenuClose) {
    if (isMenuOpen) {
        if (deferMenuClose)
            QTimer::singleShot(0, qApp, [binding = *isMenuOpen] { binding.set(false); });
        else
            isMenuOpen->set(false);
    }
    auto *mimeData = new QMimeData;
    mimeData->setUrls({url});
    // The drag belongs to the application, not to the row: closing the menu frees the row's widgets,
    // possibly while the drag is still running.
    auto *drag = new QDrag(qApp);
    Q_UNUSED(source);
    drag->setMimeData(mimeData);
    drag->setPixmap(platform::FileIcons::iconForMimeType(contentTypeNameForFileName(url.fileName()))
                        .pixmap(kDragIconSide, kDragIconSide));
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
    drag->deleteLater();
}

bool DragStartTracker::shouldStartDrag(const QPoint &position, Qt::MouseButtons buttons) {
    if (!m_pressPosition || !(buttons & Qt::LeftButton))
        return false;
    if ((position - *m_pressPosition).manhattanLength() < QApplication::startDragDistance())
        return false;
    m_pressPosition.reset();
    return true;
}

FileDragView::FileDragView(QUrl url, std::optional<platform::Binding<bool>> isMenuOpen, bool deferMenuClose,
                           QWidget *parent)
    : QWidget(parent)
    , m_url(std::move(url))
    , m_isMenuOpen(std::move(isMenuOpen))
    , m_deferMenuClose(deferMenuClose) {
    setCursor(Qt::OpenHandCursor);
}

void FileDragView::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        m_tracker.press(event->position().toPoint());
    event->accept();
}

void FileDragView::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (m_tracker.shouldStartDrag(event->position().toPoint(), event->buttons()))
        dragFileOutOfMenu(this, m_url, m_isMenuOpen, m_deferMenuClose);
}

void FileDragView::mouseReleaseEvent(QMouseEvent *event) {
    m_tracker.release();
    event->accept();
}

DragMeView::DragMeView(QUrl url, std::optional<platform::Binding<bool>> isMenuOpen, QWidget *parent)
    : FileDragView(std::move(url), std::move(isMenuOpen), /*deferMenuClose=*/true, parent)
    , m_icon(new QLabel) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(menuItemPadding());
    layout->addWidget(m_icon, 0, Qt::AlignHCenter);
    m_icon->setAttribute(Qt::WA_TransparentForMouseEvents);
    setToolTip(QStringLiteral("Drag to move or copy the file"));
    setContentType(contentTypeNameForFileName(this->url().fileName()));
}

void DragMeView::setContentType(const QString &contentType) {
    const QIcon icon = platform::FileIcons::iconForMimeType(contentType);
    m_icon->setPixmap(icon.pixmap(QSize(kDragIconSide, kDragIconSide), devicePixelRatioF()));
}

void setExportedForm(platform::MenuItem &item, std::shared_ptr<FileDetails> details,
                     ExportedFileForm makeForm) {
    auto shown = std::dynamic_pointer_cast<const platform::desktop::HostedWidgetFactory>(item.hostedView());
    if (!shown)
        return;
    item.setHostedView(
        std::make_shared<const FileDetailsView>(std::move(shown), std::move(details), std::move(makeForm)));
}

platform::HostedViewFactory::ExportedForm exportedPreview(const FileDetails &details) {
    const auto &preview = details.preview();
    if (!preview || preview->kind != FilePreviewContent::Kind::picture || preview->thumbnail.isNull())
        return {};
    return {.lines = {}, .image = preview->thumbnail};
}

void setFileInfo1View(platform::MenuItem &item, std::shared_ptr<FileDetails> details) {
    setHostedView(
        item, QStringLiteral("file kind, size and dimensions"), [details] { return new FileInfo1(details); },
        /*forceAllowsVibrancy=*/true);
    setExportedForm(item, std::move(details), [](const FileDetails &details) {
        return platform::HostedViewFactory::ExportedForm{
            .lines = details.facts() ? QStringList{fileInfo1Text(*details.facts())} : QStringList(),
            .image = {}};
    });
}

void setFileInfo2View(platform::MenuItem &item, std::shared_ptr<FileDetails> details) {
    setHostedView(
        item, QStringLiteral("file dates"), [details] { return new FileInfo2(details); },
        /*forceAllowsVibrancy=*/true);
    setExportedForm(item, std::move(details), [](const FileDetails &details) {
        return platform::HostedViewFactory::ExportedForm{
            .lines = details.facts() ? fileInfo2Lines(*details.facts()) : QStringList(), .image = {}};
    });
}

} // namespace kestrova
