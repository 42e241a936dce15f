#pragma once

#include "platform/observation/Binding.h"
#include "store/MenuBarItemIcon.h"

#include <QUuid>
#include <QWidget>

#include <memory>

class QAbstractButton;
class QCheckBox;
class QFormLayout;
class QToolButton;

namespace kestrova {

class CustomIconPicker;
class SymbolPicker;
namespace Defaults {
class DefaultsObservation;
}

// Edits a status item's icon: "Symbol" or "Custom", then the symbol picker, or the file chooser with its
// help and the "Template image" switch. Switching the kind keeps the symbol, the picture and the switch as
// they are, so switching back shows the earlier choice. Every change is written through at once, and the
// status item redraws from what was stored. Main thread only.
class MenuBarItemIconSetting : public QWidget {
    Q_OBJECT

public:
    explicit MenuBarItemIconSetting(platform::Binding<MenuBarItemIcon> icon, QWidget *parent = nullptr);
    ~MenuBarItemIconSetting() override;

    // The main status item's icon, stored under "menuBarItemIcon".
    static MenuBarItemIconSetting *forMainIcon(QWidget *parent = nullptr);
    // The icon of the stored folder with `folderId` (its icon kind, symbol, picture and template flag).
    static MenuBarItemIconSetting *forFolder(QUuid folderId, QWidget *parent = nullptr);
    static platform::Binding<MenuBarItemIcon> mainIconBinding();
    static platform::Binding<MenuBarItemIcon> folderIconBinding(QUuid folderId);

    // The help beside "Choose File…", as Markdown.
    static QString customIconHelpText();

    QAbstractButton *kindButton(MenuBarItemIcon::Kind kind) const;
    SymbolPicker *symbolPicker() const { return m_symbolPicker; }
    CustomIconPicker *customIconPicker() const { return m_customIconPicker; }
    QCheckBox *templateToggle() const { return m_templateToggle; }
    QToolButton *helpButton() const { return m_helpButton; }
    // The form's rows, for a caller that lines them up with its own.
    QFormLayout *form() const { return m_form; }

    // Shows the bound value again, after it changed elsewhere.
    void refresh();

Q_SIGNALS:
    void iconChanged();

private:
    void write(const std::function<void(MenuBarItemIcon &)> &change);
    void showHelp();

    platform::Binding<MenuBarItemIcon> m_icon;
    QFormLayout *m_form;
    QAbstractButton *m_symbolButton;
    QAbstractButton *m_customButton;
    SymbolPicker *m_symbolPicker;
    QWidget *m_customRow;
    CustomIconPicker *m_customIconPicker;
    QToolButton *m_helpButton;
    QCheckBox *m_templateToggle;
    std::shared_ptr<Defaults::DefaultsObservation> m_observation;
};

} // namespace kestrova
