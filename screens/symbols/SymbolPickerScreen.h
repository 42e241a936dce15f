#pragma once

#include "platform/observation/Binding.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QLineEdit;
class QMenu;
class QToolButton;

namespace kestrova {

class SymbolGridView;
namespace Defaults {
class DefaultsObservation;
}

// The picker's popup: a search field over the grid of symbols, the recently used ones above all of them
// while the field is blank, the search's results while it is not. Picking a symbol (a click, or Return on
// the keyboard's current cell) writes the name to the binding, puts it in front of the recently used ones
// and closes the popup. Escape clears the search, and closes the popup when there is nothing to clear.
// Arrow keys move through the grid from the search field. Main thread only.
class SymbolPickerScreen : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 410;
    static constexpr int kHeight = 330;
    enum class SectionType { recentlyUsed, all };
    static QString title(SectionType type);

    explicit SymbolPickerScreen(platform::Binding<std::optional<QString>> symbol, QWidget *parent = nullptr);
    ~SymbolPickerScreen() override;

    QLineEdit *searchField() const { return m_searchField; }
    SymbolGridView *grid() const { return m_grid; }
    QString searchQuery() const;

    // Writes `name` to the binding and the recents, then closes the popup.
    void select(const QString &name);
    // Removes the stored recents; the section goes at once.
    static void clearRecentlyUsed();
    // The context menu of a cell: "Copy Name", and in Recently Used also "Clear Recently Used"; null for no
    // cell. The caller owns it.
    std::unique_ptr<QMenu> contextMenu(int section, int index);

Q_SIGNALS:
    // The popup closed, whatever closed it.
    void dismissed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void rebuild();
    void showContextMenu(int section, int index, const QPoint &globalPosition);
    // Escape: clears the query, or closes with nothing changed.
    void cancelOrClear();

    platform::Binding<std::optional<QString>> m_symbol;
    QLineEdit *m_searchField;
    QToolButton *m_cancelButton;
    SymbolGridView *m_grid;
    std::shared_ptr<Defaults::DefaultsObservation> m_recentsObservation;
    bool m_hasScrolledToSelection = false;
};

} // namespace kestrova
