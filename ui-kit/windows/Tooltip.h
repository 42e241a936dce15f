#pragma once

#include "Popover.h"

#include <QMargins>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace kestrova {

namespace platform {
class UserDefaults;
}

// The kit's explanatory bubble: a wrapping text with insets and an optional maximum width, shown against
// the widget it explains. It can close when clicked (and when the user clicks elsewhere), and can be
// limited to one showing per identifier ever: every showing adds one to the integer stored under
// "Kv_Tooltip_" + identifier. It fades in unless the desktop asks for no animations. A tooltip that may
// not be shown (no anchor on screen, already shown once) is
// silently not shown, and leaves nothing behind.
class Tooltip final : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool showOnlyOnce = false;
        bool closeOnClick = true;
        std::optional<int> maxWidth = {};
        QMargins contentInsets = {};
        std::function<void()> onClick = {};
        // Where the counter lives; the standard suite when none is given.
        std::shared_ptr<platform::UserDefaults> suite = {};
    };

    static QString counterKey(const QString &identifier) {
        return QStringLiteral("Kv_Tooltip_") + identifier;
    }

    Tooltip(QString identifier, QString text, Options options, QObject *parent = nullptr);
    ~Tooltip() override;

    QString identifier() const { return m_identifier; }
    // How often the tooltip with this identifier was shown, in every run.
    std::int64_t showCount() const;

    // Shows the bubble against `rect` of `view` (the whole view for an empty rect); nothing when the view is
    // not shown in a window or showOnlyOnce forbids it.
    bool showRelativeTo(const QRect &rect, QWidget *view);
    // Shows the bubble under `anchor` and follows it when its window moves; with
    // showEvenWhenAnchorIsHidden, also when the anchor is not on screen (the bubble then sits near the right
    // edge of the primary screen, 60 pixels in).
    bool showFor(QWidget *anchor);
    bool showEvenWhenAnchorIsHidden = false;

    // Below a rectangle of the screen that is not a widget of ours (a tray icon's geometry); an empty
    // rectangle, or one at the left edge, places the bubble near the right edge of the primary screen.
    bool showBelow(const QRect &globalRect);

    void close();
    bool isShown() const;
    Popover *popover() const { return m_popover.get(); }

Q_SIGNALS:
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool mayShow();
    void place();
    QRect fallbackAnchor() const;

    QString m_identifier;
    Options m_options;
    std::unique_ptr<Popover> m_popover;
    QPointer<QWidget> m_anchor;
    QRect m_anchorRect;
    QPointer<QWidget> m_followedWindow;
};

} // namespace kestrova
