#include "AppChooserDialog.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova {

namespace {

constexpr int kIconSize = 24;
constexpr int kApplicationIndexRole = Qt::UserRole + 1;

} // namespace

AppChooserDialog::AppChooserDialog(std::vector<platform::Application> applications, const QString &message,
                                   QWidget *parent)
    : QDialog(parent)
    , m_applications(std::move(applications))
    , m_filter(new QLineEdit(this))
    , m_list(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Choose Application"));
    auto *layout = new QVBoxLayout(this);
    if (!message.isEmpty()) {
        auto *label = new QLabel(message, this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setPlaceholderText(QStringLiteral("Search"));
    m_filter->setClearButtonEnabled(true);
    m_filter->installEventFilter(this);
    layout->addWidget(m_filter);

    m_list->setObjectName(QStringLiteral("applications"));
    m_list->setIconSize(QSize(kIconSize, kIconSize));
    m_list->setMinimumSize(360, 320);
    for (std::size_t index = 0; index < m_applications.size(); ++index) {
        const platform::Application &application = m_applications[index];
        auto *row =
            new QListWidgetItem(QIcon(QPixmap::fromImage(platform::applicationImage(application, kIconSize))),
                                application.name.isEmpty() ? application.id : application.name, m_list);
        row->setData(kApplicationIndexRole, qulonglong(index));
        row->setToolTip(application.id);
    }
    layout->addWidget(m_list);

    auto *buttons = new QDialogButtonBox(this);
    m_openButton = buttons->addButton(QStringLiteral("Open"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    m_openButton->setDefault(true);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &AppChooserDialog::choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemActivated, this, &AppChooserDialog::choose);
    connect(m_filter, &QLineEdit::textChanged, this, &AppChooserDialog::applyFilter);
    connect(m_list, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *current) { m_openButton->setEnabled(current && !current->isHidden()); });
    applyFilter({});
    m_filter->setFocus();
}

AppChooserDialog::~AppChooserDialog() = default;

QStringList AppChooserDialog::visibleNames() const {
    QStringList names;
    for (int row = 0; row < m_list->count(); ++row) {
        if (!m_list->item(row)->isHidden())
            names << m_list->item(row)->text();
    }
    return names;
}

bool AppChooserDialog::eventFilter(QObject *watched, QEvent *event) {
    // The list is walked from the filter field, so that typing and choosing need no change of focus.
    if (watched == m_filter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            moveSelection(key == Qt::Key_Down ? 1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AppChooserDialog::applyFilter(const QString &text) {
    const QString wanted = text.trimmed();
    QListWidgetItem *firstShown = nullptr;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const auto &application = m_applications[item->data(kApplicationIndexRole).toULongLong()];
        const bool matches = wanted.isEmpty() || application.name.contains(wanted, Qt::CaseInsensitive) ||
                             application.id.contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!matches);
        if (matches && !firstShown)
            firstShown = item;
    }
    // The best guess is always selected, so that Return chooses it; with nothing left there is none.
    m_list->setCurrentItem(firstShown);
    m_openButton->setEnabled(firstShown != nullptr);
}

void AppChooserDialog::moveSelection(int step) {
    const int start = m_list->currentRow();
    for (int row = start + step; row >= 0 && row < m_list->count(); row += step) {
        if (!m_list->item(row)->isHidden()) {
            m_list->setCurrentRow(row);
            return;
        }
    }
}

void AppChooserDialog::choose() {
    QListWidgetItem *current = m_list->currentItem();
    if (!current || current->isHidden())
        return;
    m_chosen = m_applications[current->data(kApplicationIndexRole).toULongLong()];
    accept();
}

} // namespace kestrova
