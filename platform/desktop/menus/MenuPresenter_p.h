#pragma once

#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/desktop/menus/MenuRowWindow_p.h"
#include "platform/observation/Subscription.h"
#include "platform/menus/Menu.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kestrova::platform::desktop {

// Counts the entries the presenter walks to keep track of the menus it made, so tests can tell that the
// bookkeeping stays proportional to the rows shown.
struct PresentedMenuBookkeeping {
    static std::size_t steps;
};

// One QMenu per model menu while it is shown. It keeps its rows in model order next to their actions.
class PresentedMenu : public QMenu {
    Q_OBJECT

public:
    struct Row {
        std::weak_ptr<MenuItem> item;
        const MenuItem *rawItem = nullptr;
        QAction *action = nullptr;
        bool isAlternate = false;
        bool isPlaceholder = false;
    };

    PresentedMenu(MenuPresenter *presenter, std::weak_ptr<Menu> model,
                  std::shared_ptr<MenuPresenter::Presentation> presentation, QWidget *parent)
        : QMenu(parent)
        , m_presenter(presenter)
        , m_model(std::move(model))
        , m_presentation(std::move(presentation)) {}
    ~PresentedMenu() override;

    const std::weak_ptr<Menu> &model() const { return m_model; }
    MenuPresenter *presenter() const { return m_presenter; }
    // Watches the model for rows that are still to come while the menu is shown.
    Subscription &awaitedRows() { return m_awaitedRows; }
    const std::shared_ptr<MenuPresenter::Presentation> &presentation() const { return m_presentation; }
    std::vector<Row> &rows() { return m_rows; }
    // The index in rows() of the highlighted row, if any.
    std::optional<std::size_t> activeRow() const;
    // Moves the highlight to `row` as the arrow keys do, leaving its submenu closed.
    void highlight(QAction *row);
    // A long menu shows a window of its rows: `rows` are those the model displays, and the menu's actions
    // (rows()) only those on screen, bound afresh as the window moves.
    // The rows the model displays, those of its row source left unmade until they come on screen.
    struct WindowRows {
        std::vector<std::weak_ptr<MenuItem>> before;
        std::size_t sourceRows = 0;
        std::vector<std::weak_ptr<MenuItem>> after;

        void assign(const Menu::DisplayedRows &displayed);
        std::size_t size() const { return before.size() + sourceRows + after.size(); }
        // Made when it is the source's; null when the model has gone.
        std::shared_ptr<MenuItem> item(const Menu *model, std::size_t row) const;
        // The row's title without making it; nothing for separators and rows gone.
        std::optional<QString> title(const Menu *model, std::size_t row) const;
        bool canHighlight(std::size_t row, bool disabledRowsToo) const;
    };
    struct Window {
        // Written out: with only its members' initializers, a class nested in one still being defined counts
        // as not default-constructible, and clang keeps that answer for `window().emplace()`.
        Window() {}
        WindowRows rows;
        // The rows on screen: the source's rows live only while bound, so those scrolled past are let go.
        std::vector<std::shared_ptr<MenuItem>> bound;
        MenuRowWindow window;
        QSize size;
        // The most the rows bound at once may take, frame included: the screen's height while the popup is
        // sized, then the popup's own, so that every row on screen is whole wherever the window is.
        int heightLimit = 0;
        // Wheel turns too small for a row yet.
        int wheelRemainder = 0;
    };
    std::optional<Window> &window() { return m_window; }
    // Ends the window of rows, if any.
    void releaseWindow();
    const std::optional<Window> &window() const { return m_window; }
    // A row's submenu is reused for the next row bound to it.
    void setModel(std::weak_ptr<Menu> model) { m_model = std::move(model); }
    QSize sizeHint() const override;
    // Takes an action out of the menu; it and its submenu are freed on a later turn, since either may be
    // in the middle of delivering an event.
    void releaseAction(QAction *action);

    // The icon of a row image, made once per image for this showing of the menu.
    QIcon iconFor(const QImage &image);
    void clearIcons() { m_icons.clear(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool typeAhead(QKeyEvent *event);

    MenuPresenter *m_presenter;
    std::weak_ptr<Menu> m_model;
    std::shared_ptr<MenuPresenter::Presentation> m_presentation;
    std::vector<Row> m_rows;
    std::unordered_map<qint64, QIcon> m_icons;
    std::optional<Window> m_window;
    // The row under the last press in this menu: a release chooses a row only where it was pressed.
    QPointer<QAction> m_pressedAction;
    // Set while a showing waits for its window to be exposed before its row places are written.
    bool m_geometryPending = false;
    bool m_watchesWindow = false;
    // The name typed so far, forgotten after a pause.
    QString m_typed;
    QElapsedTimer m_typedAt;
    Subscription m_awaitedRows;
};

} // namespace kestrova::platform::desktop
