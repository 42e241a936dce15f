#pragma once

#include "platform/status/StatusItem.h"
#include "platform/status/StatusItemImage.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>

namespace kestrova::platform::desktop {

// An icon of ours in an X system tray: a plain X window on the application's own X connection, docked with
// the tray that owns the screen's tray selection and embedded by it. No widget and no backing store stand
// behind it, so a thousand of them cost the tray's embedding and little else, and go in one flush at quit.
//
// The window takes the tray's visual: with an ARGB visual it is transparent and the icon is drawn onto it;
// otherwise it shows the tray's own background through it and the icon is composited over that. It is
// painted when exposed and when the tray gives it another size, with the rendering that fits it best,
// centred. A press of the left, middle or right button is reported as a click; the second press of a double
// click is not a second click. Hovering shows the tool tip. A tray that ends takes the window with it; the
// icon docks again with the next tray that starts. Without an X connection (another display platform) the
// icon keeps what it is told and shows nothing. Main thread only.
class XEmbedTrayIcon : public QObject {
    Q_OBJECT

public:
    explicit XEmbedTrayIcon(QObject *parent = nullptr);
    ~XEmbedTrayIcon() override;
    Q_DISABLE_COPY_MOVE(XEmbedTrayIcon)

    // Drawn at the rendering size that fits the tray's slot, when the tray shows it.
    void setImage(const StatusItemImage &image);
    void setToolTip(const QString &toolTip);
    QString toolTip() const { return m_toolTip; }
    // Docks with the tray (now, or when one starts), or leaves it.
    void setVisible(bool visible);
    bool isVisible() const { return m_visible; }
    // Where the tray shows the icon, in the desktop's coordinates; empty while it does not.
    QRect geometry() const;
    // What the icon shows in a slot of `slot` device pixels.
    QImage rendering(QSize slot) const;

    // Which of StatusItemImage::kTraySizes is drawn in a slot of that size: the largest that fits, else the
    // smallest.
    static int renderingSizeFor(QSize slot);
    // Whether a tray owns the screen's tray selection.
    static bool isTrayAvailable();

Q_SIGNALS:
    void pressed(StatusItemClick::Button button);

private:
    friend class XEmbedTray;

    void dock();
    void undock();
    void paint();
    void handleEvent(const void *event);

    StatusItemImage m_image;
    QString m_toolTip;
    bool m_visible = false;
    // The X window while docked or docking, else 0, and what the server has said of it since.
    std::uint32_t m_window = 0;
    std::uint32_t m_picture = 0;
    QSize m_size;
    bool m_mapped = false;
    // The last press: the second press of a double click is not a click.
    struct Press {
        std::uint8_t button = 0;
        std::uint32_t time = 0;
        QPoint position;
    };
    Press m_lastPress;
    // The rendering last drawn, kept until the image or the slot's size changes.
    mutable QImage m_rendered;
    mutable int m_renderedSize = 0;
};

} // namespace kestrova::platform::desktop
