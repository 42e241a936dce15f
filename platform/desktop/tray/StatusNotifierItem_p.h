#pragma once

#include "platform/desktop/tray/StatusNotifierItem.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>

namespace kestrova::platform::desktop {

// The item's face on the bus: what the protocol names, read from and passed to the StatusNotifierItem
// that owns it (its parent). Properties the item never uses (attention and overlay icons, icon names) are
// there and empty, since hosts read them all.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ emptyText)
    Q_PROPERTY(QString IconName READ emptyText)
    Q_PROPERTY(kestrova::platform::desktop::StatusNotifierPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyText)
    Q_PROPERTY(kestrova::platform::desktop::StatusNotifierPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ emptyText)
    Q_PROPERTY(kestrova::platform::desktop::StatusNotifierPixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ emptyText)
    Q_PROPERTY(kestrova::platform::desktop::StatusNotifierToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem *item)
        : QDBusAbstractAdaptor(item)
        , m_item(item) {}

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return m_item->id(); }
    QString title() const { return m_item->title(); }
    QString status() const { return m_item->status(); }
    int windowId() const { return 0; }
    QString emptyText() const { return {}; }
    StatusNotifierPixmaps iconPixmap() const { return m_item->iconPixmaps(); }
    StatusNotifierPixmaps noPixmaps() const { return {}; }
    StatusNotifierToolTip toolTip() const { return {{}, {}, m_item->title(), {}}; }
    bool itemIsMenu() const { return m_item->itemIsMenu(); }
    QDBusObjectPath menu() const { return m_item->menuPath(); }

public Q_SLOTS:
    void Activate(int x, int y);
    void ContextMenu(int x, int y);
    void SecondaryActivate(int x, int y);
    void Scroll(int delta, const QString &orientation);
    // Sent by hosts just before a click or menu choice they forward: the focus for the window it opens.
    void ProvideXdgActivationToken(const QString &token);

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString &status);

private:
    StatusNotifierItem *m_item;
};

} // namespace kestrova::platform::desktop
