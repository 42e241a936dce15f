#include "FolderConfigureScreen.h"

#include "screens/ScreenWindow.h"
#include "screens/colors/ColorCircleButton.h"
#include "screens/colors/ReusableMenuBarItemColorSetting.h"
#include "screens/icons/MenuBarItemIconSetting.h"

#include "integration/views/ShortkeelRecorder.h"
#include "menubar/SortByMenu.h"
#include "store/DefaultsKeys.h"
#include "store/DefaultsObservation.h"
#include "ui-kit/utilities/MenuText.h"
#include "ui-kit/windows/SwiftUIWindowForMenuBarApp.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace kestrova {
namespace {

template <typename Enum> constexpr int indexOf(Enum value) {
    const auto &cases = RawTextCases<Enum>::cases;
    for (std::size_t index = 0; index < cases.size(); ++index)
        if (cases[index].first == value)
            return int(index);
    return 0;
}

template <typename Enum> Enum caseAt(int index) {
    const auto &cases = RawTextCases<Enum>::cases;
    return cases[std::size_t(std::clamp<int>(index, 0, int(cases.size()) - 1))].first;
}

// Radio buttons for the cases of `Enum`, one per label in case order, in a group whose ids are the case
// indexes; arrow keys move between them, Tab reaches the chosen one.
template <typename Enum>
QButtonGroup *enumRadios(QWidget *parent, QBoxLayout *layout, const QStringList &labels) {
    auto *group = new QButtonGroup(parent);
    for (int index = 0; index < labels.size(); ++index) {
        auto *button = new QRadioButton(labels.at(index));
        group->addButton(button, index);
        layout->addWidget(button);
    }
    return group;
}

QLabel *formLabel(const QString &text, QWidget *buddy) {
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// The label of a radio group: its mnemonic moves the focus to the chosen option without choosing
// anything (a plain buddy label would click its buddy a moment later, undoing an arrow key pressed since).
class RadioGroupLabel : public QLabel {
public:
    RadioGroupLabel(const QString &text, QButtonGroup *group)
        : QLabel(text)
        , m_group(group) {
        setBuddy(group->buttons().value(0));
    }

protected:
    bool event(QEvent *event) override {
        if (event->type() == QEvent::Shortcut) {
            QAbstractButton *chosen = m_group->checkedButton();
            if (!chosen)
                chosen = m_group->buttons().value(0);
            if (chosen)
                chosen->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
        return QLabel::event(event);
    }

private:
    QButtonGroup *m_group;
};

std::optional<std::int64_t> parsedItemLimit(const QString &text, bool &isInteger) {
    isInteger = true;
    if (text.isEmpty())
        return std::nullopt;
    const qlonglong value = text.toLongLong(&isInteger);
    return isInteger ? std::optional<std::int64_t>(value) : std::nullopt;
}

bool isStored(const QUuid &id) {
    const std::vector<Folder> folders = Defaults::get(Defaults::Keys::folders());
    return std::any_of(folders.begin(), folders.end(), [&](const Folder &folder) { return folder.id == id; });
}

} // namespace

struct FolderConfigureScreen::Rows {
    QButtonGroup *style = nullptr;
    QLineEdit *title = nullptr;
    QFormLayout *firstForm = nullptr;
    MenuBarItemIconSetting *icon = nullptr;
    ReusableMenuBarItemColorSetting *colors = nullptr;
    QButtonGroup *fileIconSize = nullptr;
    QComboBox *sortOrder = nullptr;
    QCheckBox *keepFoldersOnTop = nullptr;
    QLineEdit *itemLimit = nullptr;
    QCheckBox *showHiddenItems = nullptr;
    QCheckBox *showTitleInMenu = nullptr;
    QCheckBox *showOpenWithMenuForFolders = nullptr;
};

FolderConfigureScreen::FolderConfigureScreen(platform::Binding<Folder> folder, QWidget *parent)
    : QWidget(parent)
    , m_folder(std::move(folder))
    , m_id(m_folder.get().id) {
    setObjectName(QStringLiteral("FolderConfigureScreen"));
    m_tabs = new QTabWidget;
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    rebuild();
    Defaults::observe<std::vector<Folder>>(
        Defaults::Keys::folders(), {},
        [this](const Defaults::KeyChange<std::vector<Folder>> &) { storedFoldersChanged(); })
        ->bindLifetime(this);
    // Queued: the tabs are rebuilt outside whatever wrote the key (a control of these very tabs).
    Defaults::observe<bool>(Defaults::Keys::showFoldersInMenu(), {},
                            [this](const Defaults::KeyChange<bool> &) {
                                QMetaObject::invokeMethod(
                                    this, [this] { rebuild(); }, Qt::QueuedConnection);
                            })
        ->bindLifetime(this);
}

FolderConfigureScreen::~FolderConfigureScreen() = default;

QString FolderConfigureScreen::windowTitleText() const {
    return ScreenWindow::titleText(m_folder.get().title());
}

void FolderConfigureScreen::rebuild() {
    const bool foldersInMenu = Defaults::get(Defaults::Keys::showFoldersInMenu());
    const Folder folder = m_folder.get();
    const int currentTab = m_tabs->currentIndex();
    while (m_tabs->count() > 0) {
        QWidget *page = m_tabs->widget(0);
        m_tabs->removeTab(0);
        delete page;
    }
    m_rows = std::make_unique<Rows>();
    Rows &rows = *m_rows;

    // The status item (or, with all folders in the main item, the folder's entry there).
    auto *first = new QWidget;
    auto *firstForm = new QFormLayout(first);
    if (!foldersInMenu) {
        auto *styles = new QVBoxLayout;
        rows.style = enumRadios<Folder::MenuBarItemStyle>(
            first, styles,
            {QStringLiteral("Icon"), QStringLiteral("Title"), QStringLiteral("Icon && Title")});
        firstForm->addRow(new RadioGroupLabel(QStringLiteral("&Show:"), rows.style), styles);
        connect(rows.style, &QButtonGroup::idClicked, this, [this](int id) {
            edit([id](Folder &edited) { edited.menuBarItemStyle = caseAt<Folder::MenuBarItemStyle>(id); });
        });
    }
    rows.title = new QLineEdit;
    rows.title->setObjectName(QStringLiteral("title"));
    rows.title->setPlaceholderText(folder.fallbackTitle().value_or(QString()));
    firstForm->addRow(formLabel(QStringLiteral("&Title:"), rows.title), rows.title);
    // Stored as typed, blank included: a blank title shows the fallback title again.
    connect(rows.title, &QLineEdit::textEdited, this,
            [this](const QString &text) { edit([&text](Folder &edited) { edited.customTitle = text; }); });
    rows.firstForm = firstForm;
    rows.icon = MenuBarItemIconSetting::forFolder(m_id);
    firstForm->addRow(rows.icon);
    rows.colors = ReusableMenuBarItemColorSetting::forFolder(m_id);
    firstForm->addRow(formLabel(QStringLiteral("Icon &color:"), rows.colors->swatch()), rows.colors);
    first->setFixedWidth(kTabWidth);
    m_tabs->addTab(first, foldersInMenu ? QStringLiteral("&General") : QStringLiteral("Menu &Bar"));

    // How the folder's menu lists it.
    auto *menu = new QWidget;
    auto *menuLayout = new QVBoxLayout(menu);
    auto *menuForm = new QFormLayout;
    menuLayout->addLayout(menuForm);
    auto *sizes = new QHBoxLayout;
    rows.fileIconSize = enumRadios<Folder::FileIconSize>(menu, sizes, [] {
        QStringList labels;
        for (const auto &[size, raw] : RawTextCases<Folder::FileIconSize>::cases)
            labels << capitalizedFirstCharacter(QString::fromLatin1(raw));
        return labels;
    }());
    sizes->addStretch();
    menuForm->addRow(new RadioGroupLabel(QStringLiteral("File &icon size:"), rows.fileIconSize), sizes);
    connect(rows.fileIconSize, &QButtonGroup::idClicked, this, [this](int id) {
        edit([id](Folder &edited) { edited.fileIconSize = caseAt<Folder::FileIconSize>(id); });
    });
    rows.sortOrder = new QComboBox;
    rows.sortOrder->setObjectName(QStringLiteral("sortOrder"));
    for (const auto &[order, raw] : RawTextCases<Folder::SortOrder>::cases)
        rows.sortOrder->addItem(sortOrderTitle(order));
    menuForm->addRow(formLabel(QStringLiteral("S&ort order:"), rows.sortOrder), rows.sortOrder);
    connect(rows.sortOrder, &QComboBox::activated, this, [this](int index) {
        edit([index](Folder &edited) { edited.sortOrder = caseAt<Folder::SortOrder>(index); });
    });
    rows.keepFoldersOnTop = new QCheckBox(QStringLiteral("&Keep folders on top"));
    menuForm->addRow(rows.keepFoldersOnTop);
    connect(rows.keepFoldersOnTop, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Folder &edited) { edited.keepFoldersOnTop = on; }); });
    rows.itemLimit = new QLineEdit;
    rows.itemLimit->setObjectName(QStringLiteral("itemLimit"));
    // Whole numbers only, of a size that always fits the stored 64-bit integer.
    rows.itemLimit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,18}")), rows.itemLimit));
    menuForm->addRow(formLabel(QStringLiteral("&Max Items:"), rows.itemLimit), rows.itemLimit);
    connect(rows.itemLimit, &QLineEdit::textEdited, this, [this](const QString &text) {
        bool isInteger = false;
        const auto limit = parsedItemLimit(text, isInteger);
        // A lone "-" is on its way to a number: nothing to store yet.
        if (isInteger)
            edit([&limit](Folder &edited) { edited.itemLimit = limit; });
    });
    // Left half-typed, the field shows what is stored.
    connect(rows.itemLimit, &QLineEdit::editingFinished, this, [this] { render(m_folder.get()); });
    rows.showHiddenItems = new QCheckBox(QStringLiteral("Show &hidden files and folders"));
    rows.showHiddenItems->setToolTip(QStringLiteral("It still hides junk files like .DS_Store"));
    menuForm->addRow(formLabel(QStringLiteral("Visibility:"), rows.showHiddenItems), rows.showHiddenItems);
    connect(rows.showHiddenItems, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Folder &edited) { edited.showHiddenItems = on; }); });
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    menuLayout->addSpacing(8);
    menuLayout->addWidget(line);
    menuLayout->addSpacing(8);
    rows.showTitleInMenu = new QCheckBox(QStringLiteral("Show folder tit&le"));
    menuLayout->addWidget(rows.showTitleInMenu);
    connect(rows.showTitleInMenu, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Folder &edited) { edited.showTitleInMenu = on; }); });
    rows.showOpenWithMenuForFolders = new QCheckBox(QStringLiteral("Show “Open &With” menu for subfolders"));
    menuLayout->addWidget(rows.showOpenWithMenuForFolders);
    connect(rows.showOpenWithMenuForFolders, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Folder &edited) { edited.showOpenWithMenuForFolders = on; }); });
    menuLayout->addStretch();
    menu->setFixedWidth(kTabWidth);
    m_tabs->addTab(menu, QStringLiteral("M&enu"));

    // The folder's own hot key, which only a folder with its own status item has. The recorder stores it.
    if (!foldersInMenu) {
        auto *shortcuts = new QWidget;
        auto *form = new QFormLayout(shortcuts);
        auto *recorder = new Shortkeel::Recorder(QStringLiteral("Toggle &menu:"), folder.shortcutName());
        form->addRow(recorder);
        shortcuts->setFixedWidth(kTabWidth);
        m_tabs->addTab(shortcuts, QStringLiteral("Shortc&uts"));
    }
    m_tabs->setCurrentIndex(std::clamp(currentTab, 0, m_tabs->count() - 1));
    render(folder);
}

void FolderConfigureScreen::storedFoldersChanged() {
    if (!isStored(m_id)) {
        Q_EMIT folderRemoved();
        return;
    }
    render(m_folder.get());
}

void FolderConfigureScreen::render(const Folder &folder) {
    Rows &rows = *m_rows;
    const auto check = [](QButtonGroup *group, int id) {
        if (QAbstractButton *button = group ? group->button(id) : nullptr) {
            const QSignalBlocker blocker(button);
            button->setChecked(true);
        }
    };
    check(rows.style, indexOf(folder.menuBarItemStyle));
    check(rows.fileIconSize, indexOf(folder.fileIconSize));
    const QString title = folder.customTitle.value_or(QString());
    if (rows.title->text() != title) {
        const QSignalBlocker blocker(rows.title);
        rows.title->setText(title);
    }
    rows.title->setPlaceholderText(folder.fallbackTitle().value_or(QString()));
    {
        const QSignalBlocker blocker(rows.sortOrder);
        rows.sortOrder->setCurrentIndex(indexOf(folder.sortOrder));
    }
    bool isInteger = false;
    const auto shownLimit = parsedItemLimit(rows.itemLimit->text(), isInteger);
    if (!isInteger || shownLimit != folder.itemLimit || !rows.itemLimit->hasFocus()) {
        const QSignalBlocker blocker(rows.itemLimit);
        rows.itemLimit->setText(folder.itemLimit ? QString::number(*folder.itemLimit) : QString());
    }
    for (const auto &[box, on] :
         {std::pair{rows.keepFoldersOnTop, folder.keepFoldersOnTop},
          std::pair{rows.showHiddenItems, folder.showHiddenItems},
          std::pair{rows.showTitleInMenu, folder.showTitleInMenu},
          std::pair{rows.showOpenWithMenuForFolders, folder.showOpenWithMenuForFolders}}) {
        const QSignalBlocker blocker(box);
        box->setChecked(on);
    }
    // A picture drawn in its own colours has nothing to tint.
    rows.firstForm->setRowVisible(rows.colors, folder.iconType == MenuBarItemIcon::Kind::symbol ||
                                                   (folder.iconType == MenuBarItemIcon::Kind::custom &&
                                                    folder.isUserSuppliedIconTemplate));
    Q_EMIT titleChanged(ScreenWindow::titleText(folder.title()));
}

void FolderConfigureScreen::edit(const std::function<void(Folder &)> &change) {
    // A folder removed meanwhile is not written back.
    if (!isStored(m_id))
        return;
    const Folder stored = m_folder.get();
    Folder edited = stored;
    change(edited);
    if (edited != stored)
        m_folder.set(edited);
}

namespace {

// One folder's window, shared by everyone who asked for it.
class FolderConfigureWindow final : public QObject {
public:
    explicit FolderConfigureWindow(platform::Binding<Folder> folder) {
        auto *screen = new FolderConfigureScreen(std::move(folder));
        m_window = ScreenWindow::make(screen, screen->windowTitleText());
        m_window->setObjectName(QStringLiteral("FolderConfigureWindow"));
        connect(screen, &FolderConfigureScreen::titleChanged, m_window,
                [window = m_window](const QString &title) { window->setWindowTitle(title); });
        connect(screen, &FolderConfigureScreen::folderRemoved, m_window, &QWidget::close);
        connect(m_window, &SwiftUIWindowForMenuBarApp::windowWillClose, this, [this] {
            for (const auto &didClose : std::exchange(m_didClose, {}))
                if (didClose)
                    didClose();
        });
    }
    ~FolderConfigureWindow() override {
        // Dropped by its holders: the window goes without telling them (they let go themselves).
        if (m_window) {
            m_window->disconnect(this);
            m_window->hide();
            m_window->deleteLater();
        }
    }

    void addDidClose(std::function<void()> didClose) { m_didClose.push_back(std::move(didClose)); }
    void present() {
        if (m_window)
            ScreenWindow::present(m_window);
    }

private:
    QPointer<SwiftUIWindowForMenuBarApp> m_window;
    std::vector<std::function<void()>> m_didClose;
};

std::map<QUuid, std::weak_ptr<FolderConfigureWindow>> &openWindows() {
    static std::map<QUuid, std::weak_ptr<FolderConfigureWindow>> windows;
    return windows;
}

} // namespace

std::shared_ptr<QObject> showFolderConfigureWindow(platform::Binding<Folder> folder,
                                                   std::function<void()> didClose) {
    const QUuid id = folder.get().id;
    auto &windows = openWindows();
    std::erase_if(windows, [](const auto &entry) { return entry.second.expired(); });
    std::shared_ptr<FolderConfigureWindow> window = windows[id].lock();
    if (!window) {
        window = std::make_shared<FolderConfigureWindow>(std::move(folder));
        windows[id] = window;
    }
    window->addDidClose(std::move(didClose));
    window->present();
    return window;
}

} // namespace kestrova
