#pragma once

#include <QMargins>
#include <QPointer>
#include <QPainterPath>
#include <QWidget>

#include <optional>

class QLabel;

namespace kestrova {

// A bubble that shows a content view next to the thing it explains, its small arrow pointing at it: below
// the anchor when there is room, above it otherwise, kept on the anchor's screen. A transient popover
// closes when the user clicks anywhere outside it; otherwise only its owner closes it.
class Popover : public QWidget {
    Q_OBJECT
public:
    enum class Behavior { applicationDefined, transient };

    static constexpr int kArrowHeight = 8;
    static constexpr int kArrowWidth = 16;

    explicit Popover(Behavior behavior = Behavior::applicationDefined, QWidget *parent = nullptr);

    // Takes ownership of `content`, laid out `insets` inside the bubble.
    void setContent(QWidget *content, const QMargins &insets);
    QWidget *content() const { return m_content; }

    // A label for text that wraps: at `maxWidth` (insets included) when given, else at the text's natural
    // width; never selectable.
    static QLabel *makeWrappingLabel(const QString &text, std::optional<int> maxWidth,
                                     const QMargins &insets);

    // Shows the bubble against `anchor` (global coordinates), its arrow centred on the anchor's middle.
    void showAt(const QRect &anchor);
    // Where a bubble of `size` goes against `anchor` on a screen whose usable area is `screen`; whether it
    // hangs below the anchor (arrow on top) or sits above it.
    static QRect placement(const QRect &anchor, const QSize &size, const QRect &screen,
                           bool *isBelow = nullptr);

Q_SIGNALS:
    void clicked();
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void layOutContent();
    // The outline of the bubble with its arrow, in the window's coordinates.
    QPainterPath bubblePath() const;
    void updateMask();

    QPointer<QWidget> m_content;
    QMargins m_insets;
    bool m_isBelow = true;
    int m_arrowX = 0;
};

} // namespace kestrova
