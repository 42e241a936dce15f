#include "SettingsScreen.h"

#include "screens/ScreenWindow.h"
#include "screens/icons/MenuBarItemIconSetting.h"

#include "foundation/app/KvApp.h"
#include "integration/views/BootwickToggle.h"
#include "platform/status/SymbolImage.h"
#include "store/DefaultsKeys.h"
#include "store/DefaultsObservable.h"
#include "store/DefaultsObservation.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova {
namespace {

constexpr int kMinimumHeightOneItemPerFolder = 240;
constexpr int kMinimumHeightFoldersInMenu = 500;

// A check box's wrapping label: a check box cannot wrap its own text, and the long labels here must.
// A click on the label, or its mnemonic, flips the box as a click on the box would.
class WrappingCheckBoxLabel : public QLabel {
public:
    WrappingCheckBoxLabel(const QString &text, QCheckBox *box)
        : QLabel(text) {
        setWordWrap(true);
        setBuddy(box);
        setTextFormat(Qt::PlainText);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            if (auto *box = qobject_cast<QCheckBox *>(buddy()))
                box->click();
        QLabel::mouseReleaseEvent(event);
    }
};

QWidget *checkBoxRow(QCheckBox *box, const QString &label) {
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box, 0, Qt::AlignTop);
    layout->addWidget(new WrappingCheckBoxLabel(label, box), 1);
    return row;
}

QFrame *divider() {
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// The folder's image in the list, a template drawn in the text colour so that it shows on light and dark.
QIcon folderIcon(const Folder &folder, const QPalette &palette) {
    const MenuBarItemImage image = folder.nsImage();
    const QImage pixels = image.image(2.0);
    if (!image.isTemplate())
        return QIcon(QPixmap::fromImage(pixels));
    const QImage tinted = platform::SymbolImage::tinted(pixels, palette.color(QPalette::WindowText));
    return QIcon(QPixmap::fromImage(tinted.isNull() ? pixels : tinted));
}

// "Reorder folders": every stored folder by title and image, in stored order. A row is moved by dragging
// it, with Alt+Up / Alt+Down, or with the two buttons; each move stores the whole list once, records
// unchanged.
class FolderOrderSetting : public QGroupBox {
public:
    FolderOrderSetting()
        : QGroupBox(QStringLiteral("Reorder folders")) {
        m_list = new QListWidget;
        m_list->setObjectName(QStringLiteral("folderOrderList"));
        m_list->setDragDropMode(QAbstractItemView::InternalMove);
        m_list->setDefaultDropAction(Qt::MoveAction);
        m_list->setSelectionMode(QAbstractItemView::SingleSelection);
        m_list->installEventFilter(this);
        m_up = new QPushButton(QStringLiteral("Move &Up"));
        m_down = new QPushButton(QStringLiteral("Move &Down"));
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(m_up);
        buttons->addWidget(m_down);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(m_list);
        layout->addLayout(buttons);
        connect(m_up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
        connect(m_down, &QPushButton::clicked, this, [this] { moveSelected(1); });
        connect(m_list, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
        // A drag has finished once the model reports the move.
        connect(m_list->model(), &QAbstractItemModel::rowsMoved, this, [this] {
            if (!m_isRefreshing)
                storeListOrder();
        });
        m_observation = Defaults::observe<std::vector<Folder>>(
            Defaults::Keys::folders(), {Defaults::ObservationOption::initial},
            [this](const Defaults::KeyChange<std::vector<Folder>> &change) { refresh(change.newValue); });
        m_observation->bindLifetime(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == m_list && event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->modifiers() == Qt::AltModifier &&
                (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
                moveSelected(key->key() == Qt::Key_Up ? -1 : 1);
                return true;
            }
        }
        return QGroupBox::eventFilter(watched, event);
    }

    void changeEvent(QEvent *event) override {
        QGroupBox::changeEvent(event);
        if (event->type() == QEvent::PaletteChange)
            refresh(Defaults::get(Defaults::Keys::folders()));
    }

private:
    void refresh(const std::vector<Folder> &folders) {
        m_isRefreshing = true;
        const QString selected =
            m_list->currentItem() ? m_list->currentItem()->data(Qt::UserRole).toString() : QString();
        m_list->clear();
        for (const Folder &folder : folders) {
            auto *item = new QListWidgetItem(folderIcon(folder, palette()), folder.title());
            item->setData(Qt::UserRole, folder.id.toString());
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
            m_list->addItem(item);
            if (item->data(Qt::UserRole).toString() == selected)
                m_list->setCurrentItem(item);
        }
        m_isRefreshing = false;
        updateButtons();
    }

    void updateButtons() {
        const int row = m_list->currentRow();
        m_up->setEnabled(row > 0);
        m_down->setEnabled(row >= 0 && row + 1 < m_list->count());
    }

    void moveSelected(int offset) {
        const int row = m_list->currentRow();
        const int target = row + offset;
        if (row < 0 || target < 0 || target >= m_list->count())
            return;
        m_isRefreshing = true;
        QListWidgetItem *item = m_list->takeItem(row);
        m_list->insertItem(target, item);
        m_list->setCurrentItem(item);
        m_isRefreshing = false;
        storeListOrder();
    }

    // The stored records in the order the rows show; a folder stored meanwhile that has no row stays at
    // the end, so that nothing is lost.
    void storeListOrder() {
        std::vector<Folder> stored = Defaults::get(Defaults::Keys::folders());
        std::vector<Folder> ordered;
        ordered.reserve(stored.size());
        for (int row = 0; row < m_list->count(); ++row) {
            const QUuid id(m_list->item(row)->data(Qt::UserRole).toString());
            const auto found = std::find_if(stored.begin(), stored.end(),
                                            [&](const Folder &folder) { return folder.id == id; });
            if (found == stored.end())
                continue;
            ordered.push_back(std::move(*found));
            stored.erase(found);
        }
        std::move(stored.begin(), stored.end(), std::back_inserter(ordered));
        m_folders.setValue(ordered);
        updateButtons();
    }

    QListWidget *m_list = nullptr;
    QPushButton *m_up = nullptr;
    QPushButton *m_down = nullptr;
    bool m_isRefreshing = false;
    Defaults::Default<std::vector<Folder>> m_folders{Defaults::Keys::folders()};
    std::shared_ptr<Defaults::DefaultsObservation> m_observation;
};

// The toggles, and the folder order while the folders share the main item.
// The main status item's icon, which only the single main item has.
class MainMenuBarItemIconSetting : public QWidget {
public:
    MainMenuBarItemIconSetting() {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(MenuBarItemIconSetting::forMainIcon());
    }
};

class GeneralSettings : public QWidget {
public:
    GeneralSettings() {
        m_showFoldersInMenu.onChange([](bool) {
            // The status items are laid out once per run: the new layout needs a new instance, which
            // opens this window again.
            KvApp::startRelaunch(/*exitImmediately=*/false, /*showSettings=*/true);
        });
        auto *form = new QFormLayout;
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        auto *launchAtLogin = new Bootwick::Toggle(QStringLiteral("&Launch at login"));
        launchAtLogin->setObjectName(QStringLiteral("launchAtLogin"));
        form->addRow(launchAtLogin);

        auto *single = new QCheckBox;
        single->setObjectName(QStringLiteral("showFoldersInMenu"));
        single->setAccessibleName(m_showFoldersInMenu.label());
        Defaults::connectToggle(single, m_showFoldersInMenu);
        form->addRow(checkBoxRow(single, QStringLiteral("Show &folders in a single menu item instead of one "
                                                        "menu item per folder")));

        auto *icons = new QCheckBox(QStringLiteral("Show &icons for files and folders"));
        icons->setObjectName(QStringLiteral("showIconsInMenu"));
        Defaults::connectToggle(icons, m_showIconsInMenu);
        form->addRow(icons);

        auto *submenu = new QCheckBox(QStringLiteral("Show &submenu for files and folders"));
        submenu->setObjectName(QStringLiteral("showFileAndDirectorySubmenu"));
        submenu->setToolTip(
            QStringLiteral("The submenu for folders lets you view its contents and the submenu "
                           "for files lets you view a preview and perform some actions."));
        Defaults::connectToggle(submenu, m_showFileAndDirectorySubmenu);
        form->addRow(submenu);

        auto *layout = new QVBoxLayout(this);
        layout->addLayout(form);
        m_foldersInMenuRows = new QWidget;
        auto *rows = new QVBoxLayout(m_foldersInMenuRows);
        rows->setContentsMargins(0, 0, 0, 0);
        rows->addWidget(divider());
        rows->addWidget(new MainMenuBarItemIconSetting);
        rows->addWidget(divider());
        rows->addWidget(new FolderOrderSetting);
        layout->addWidget(m_foldersInMenuRows);
        layout->addStretch();

        connect(
            m_showFoldersInMenu.observable(), &Defaults::ObservableBase::objectWillChange, this,
            [this] { updateRows(); }, Qt::QueuedConnection);
        updateRows();
    }

private:
    void updateRows() {
        const bool foldersInMenu = m_showFoldersInMenu.isOn();
        m_foldersInMenuRows->setVisible(foldersInMenu);
        setMinimumHeight(foldersInMenu ? kMinimumHeightFoldersInMenu : kMinimumHeightOneItemPerFolder);
    }

    Defaults::Toggle m_showFoldersInMenu{
        QStringLiteral("Show folders in a single menu item instead of one menu item per folder"),
        Defaults::Keys::showFoldersInMenu()};
    Defaults::Toggle m_showIconsInMenu{QStringLiteral("Show icons for files and folders"),
                                       Defaults::Keys::showIconsInMenu()};
    Defaults::Toggle m_showFileAndDirectorySubmenu{QStringLiteral("Show submenu for files and folders"),
                                                   Defaults::Keys::showFileAndDirectorySubmenu()};
    QWidget *m_foldersInMenuRows = nullptr;
};

} // namespace

SettingsScreen::SettingsScreen(QWidget *parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("SettingsScreen"));
    setFixedWidth(kWidth);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new GeneralSettings);
}

SettingsWindowController::SettingsWindowController()
    : SingletonWindowController(
          ScreenWindow::make(new SettingsScreen, QStringLiteral("%1 Settings").arg(KvApp::name()))) {
    window()->setObjectName(QStringLiteral("SettingsWindow"));
}

void SettingsWindowController::showWindow() {
    ScreenWindow::present(shared<SettingsWindowController>().window());
}

} // namespace kestrova
