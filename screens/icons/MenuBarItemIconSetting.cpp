#include "MenuBarItemIconSetting.h"

#include "CustomIconPicker.h"
#include "FolderFieldBinding.h"

#include "foundation/app/KvApp.h"
#include "platform/status/SymbolImage.h"
#include "screens/symbols/SymbolPicker.h"
#include "store/DefaultsObservation.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

namespace kestrova {

namespace {

constexpr int kHelpWidth = 350;
// Sites with free icons; the help suggests them.
const QString kIconSiteAddress = QStringLiteral("https://www.flaticon.com");
const QString kSecondIconSiteAddress = QStringLiteral("https://thenounproject.com");

QToolButton *segment(const QString &title) {
    auto *button = new QToolButton;
    button->setText(title);
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

} // namespace

MenuBarItemIconSetting::MenuBarItemIconSetting(platform::Binding<MenuBarItemIcon> icon, QWidget *parent)
    : QWidget(parent)
    , m_icon(std::move(icon))
    , m_form(new QFormLayout(this))
    , m_symbolButton(segment(QStringLiteral("Symbol")))
    , m_customButton(segment(QStringLiteral("Custom")))
    , m_symbolPicker(new SymbolPicker(platform::Binding<std::optional<QString>>(
                                          [this] { return m_icon.get().symbolName; },
                                          [this](const std::optional<QString> &name) {
                                              write([&](MenuBarItemIcon &value) { value.symbolName = name; });
                                          }),
                                      QStringLiteral("Choose Symbol…")))
    , m_customRow(new QWidget)
    , m_customIconPicker(new CustomIconPicker(platform::Binding<std::optional<platform::Image>>(
          [this] { return m_icon.get().customImage; },
          [this](const std::optional<platform::Image> &image) {
              write([&](MenuBarItemIcon &value) { value.customImage = image; });
          })))
    , m_helpButton(new QToolButton)
    , m_templateToggle(new QCheckBox(QStringLiteral("Template image"))) {
    m_form->setContentsMargins(0, 0, 0, 0);
    m_form->setLabelAlignment(Qt::AlignRight);

    auto *kinds = new QWidget;
    auto *kindLayout = new QHBoxLayout(kinds);
    kindLayout->setContentsMargins(0, 0, 0, 0);
    kindLayout->setSpacing(0);
    auto *group = new QButtonGroup(kinds);
    group->setExclusive(true);
    for (QAbstractButton *button : {m_symbolButton, m_customButton}) {
        group->addButton(button);
        kindLayout->addWidget(button);
    }
    kindLayout->addStretch(1);
    m_form->addRow(QStringLiteral(" Icon type:"), kinds);
    connect(m_symbolButton, &QAbstractButton::clicked, this,
            [this] { write([](MenuBarItemIcon &value) { value.type = MenuBarItemIcon::Kind::symbol; }); });
    connect(m_customButton, &QAbstractButton::clicked, this,
            [this] { write([](MenuBarItemIcon &value) { value.type = MenuBarItemIcon::Kind::custom; }); });

    m_form->addRow(QString(), m_symbolPicker);
    connect(m_symbolPicker, &SymbolPicker::symbolChanged, this, &MenuBarItemIconSetting::iconChanged);

    auto *customLayout = new QHBoxLayout(m_customRow);
    customLayout->setContentsMargins(0, 0, 0, 0);
    customLayout->addWidget(m_customIconPicker);
    m_helpButton->setAutoRaise(true);
    m_helpButton->setIcon(platform::SymbolImage(QStringLiteral("info.circle"), 14).icon());
    m_helpButton->setToolTip(QStringLiteral("About custom icons"));
    m_helpButton->setAccessibleName(QStringLiteral("About custom icons"));
    customLayout->addWidget(m_helpButton, 0, Qt::AlignVCenter);
    customLayout->addStretch(1);
    connect(m_helpButton, &QToolButton::clicked, this, &MenuBarItemIconSetting::showHelp);
    m_form->addRow(QString(), m_customRow);

    m_form->addRow(QString(), m_templateToggle);
    connect(m_templateToggle, &QCheckBox::toggled, this, [this](bool checked) {
        if (m_icon.get().customImageIsTemplate != checked)
            write([checked](MenuBarItemIcon &value) { value.customImageIsTemplate = checked; });
    });
    refresh();
}

MenuBarItemIconSetting::~MenuBarItemIconSetting() = default;

platform::Binding<MenuBarItemIcon> MenuBarItemIconSetting::mainIconBinding() {
    return platform::Binding<MenuBarItemIcon>(
        [] { return Defaults::get(Defaults::Keys::menuBarItemIcon()); },
        [](const MenuBarItemIcon &icon) { Defaults::set(Defaults::Keys::menuBarItemIcon(), icon); });
}

platform::Binding<MenuBarItemIcon> MenuBarItemIconSetting::folderIconBinding(QUuid folderId) {
    return folderFieldBinding<MenuBarItemIcon>(
        folderId,
        [](const Folder &folder) {
            return MenuBarItemIcon{folder.iconType, folder.customIconName, folder.userSuppliedIcon,
                                   folder.isUserSuppliedIconTemplate};
        },
        [](Folder &folder, const MenuBarItemIcon &icon) {
            folder.iconType = icon.type;
            folder.customIconName = icon.symbolName;
            folder.userSuppliedIcon = icon.customImage;
            folder.isUserSuppliedIconTemplate = icon.customImageIsTemplate;
        });
}

MenuBarItemIconSetting *MenuBarItemIconSetting::forMainIcon(QWidget *parent) {
    auto *setting = new MenuBarItemIconSetting(mainIconBinding(), parent);
    setting->m_observation =
        Defaults::observe({std::cref<Defaults::AnyKey>(Defaults::Keys::menuBarItemIcon())}, {},
                          [setting] { QTimer::singleShot(0, setting, [setting] { setting->refresh(); }); });
    return setting;
}

MenuBarItemIconSetting *MenuBarItemIconSetting::forFolder(QUuid folderId, QWidget *parent) {
    auto *setting = new MenuBarItemIconSetting(folderIconBinding(folderId), parent);
    setting->m_observation =
        Defaults::observe({std::cref<Defaults::AnyKey>(Defaults::Keys::folders())}, {},
                          [setting] { QTimer::singleShot(0, setting, [setting] { setting->refresh(); }); });
    return setting;
}

QString MenuBarItemIconSetting::customIconHelpText() {
    return QStringList{
        QStringLiteral("The icon can either be a template image (black and transparent image where the black "
                       "parts are filled with the chosen color) or a multi-color image."),
        QStringLiteral(
            "The icon should be 32 pixels in height. It will be resized if the height is larger. Try "
            "to make the contents fill the whole height of the image."),
        QStringLiteral("You can find icons on [Flaticons](") + kIconSiteAddress +
            QStringLiteral(") and [The Noun Project](") + kSecondIconSiteAddress +
            QStringLiteral("). Choose the PNG version."),
        QStringLiteral("**This is a new feature. Please [let me know](") +
            QString::fromUtf8(KvApp::feedbackPageURL().toEncoded()) +
            QStringLiteral(") if anything is unclear or not working as expected.**"),
    }
        .join(QStringLiteral("\n\n"));
}

QAbstractButton *MenuBarItemIconSetting::kindButton(MenuBarItemIcon::Kind kind) const {
    return kind == MenuBarItemIcon::Kind::symbol ? m_symbolButton : m_customButton;
}

void MenuBarItemIconSetting::write(const std::function<void(MenuBarItemIcon &)> &change) {
    MenuBarItemIcon icon = m_icon.get();
    change(icon);
    m_icon.set(icon);
    refresh();
    Q_EMIT iconChanged();
}

void MenuBarItemIconSetting::refresh() {
    const MenuBarItemIcon icon = m_icon.get();
    const bool isSymbol = icon.type == MenuBarItemIcon::Kind::symbol;
    m_symbolButton->setChecked(isSymbol);
    m_customButton->setChecked(!isSymbol);
    m_form->setRowVisible(m_symbolPicker, isSymbol);
    m_form->setRowVisible(m_customRow, !isSymbol);
    m_form->setRowVisible(m_templateToggle, !isSymbol);
    {
        const QSignalBlocker blocker(m_templateToggle);
        m_templateToggle->setChecked(icon.customImageIsTemplate);
    }
    m_symbolPicker->refresh();
}

void MenuBarItemIconSetting::showHelp() {
    auto *popover = new QLabel;
    popover->setWindowFlags(Qt::Popup);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setTextFormat(Qt::MarkdownText);
    popover->setText(customIconHelpText());
    popover->setWordWrap(true);
    popover->setOpenExternalLinks(true);
    popover->setMargin(12);
    popover->setFixedWidth(kHelpWidth);
    popover->adjustSize();
    popover->move(m_helpButton->mapToGlobal(QPoint(0, m_helpButton->height())));
    popover->show();
}

} // namespace kestrova
