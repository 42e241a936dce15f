#pragma once

#include "HotKeyBackend.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <map>
#include <memory>

class QDBusMessage;

namespace kestrova::platform::desktop {

// Hot keys through the desktop's shortcut portal (org.freedesktop.portal.GlobalShortcuts), where an
// application cannot grab keys itself (Wayland). One portal session for the process. The desktop keeps
// the user's own choice of keys under each shortcut's id, so the id is the label's name, the same in every
// run, and the whole set is bound again only when it changes (once per turn of the event loop, however
// many grabs made the change): a hot key released for a while (an open menu) stays bound, and its
// activations run nothing until it is grabbed again; forget() unbinds it. Each chord is offered as the
// preferred trigger, and the desktop (or the user) decides the keys: what it assigned is assignedTrigger.
// Activated and Deactivated become presses and releases; keys the desktop assigns or the user changes there
// (ShortcutsChanged) are told to the assigned-triggers observer.
class HotKeyPortalBackend final : public QObject, public HotKeyBackend {
    Q_OBJECT
public:
    // Null when the bus has no portal that offers global shortcuts.
    static std::unique_ptr<HotKeyPortalBackend> create(QDBusConnection connection);
    ~HotKeyPortalBackend() override;

    bool grab(std::uint32_t id, HotKeyChord chord, const HotKeyLabel &label) override;
    void release(std::uint32_t id) override;
    void forget(const QString &name) override;
    // Closes the session: the desktop lets go of every shortcut bound in it.
    void releaseAll() override;
    std::optional<QString> assignedTrigger(std::uint32_t id) const override;

    // The freedesktop trigger text of a chord ("CTRL+ALT+k", "LOGO+space"); empty for a key without a name.
    static QString triggerText(HotKeyChord chord);
    bool hasSession() const { return !m_session.isEmpty(); }

private Q_SLOTS:
    void sessionCreated(uint code, const QVariantMap &results);
    void shortcutsBound(uint code, const QVariantMap &results);
    // Activated and Deactivated alike.
    void activated(const QDBusMessage &signal);
    void shortcutsChanged(const QDBusMessage &signal);

private:
    explicit HotKeyPortalBackend(QDBusConnection connection);
    // Calls `method` of the portal with a fresh request token in the options (the last argument), the
    // answer going to `slot`; subscribed before the call, so that no answer is missed.
    void request(const QString &method, QVariantList arguments, const char *slot);
    // Binds the wanted set when it is not what the desktop has; queued: at the next turn of the loop.
    void bind();
    void queueBind();
    void readAssigned(const QVariant &shortcuts);

    struct Bound {
        QString trigger;
        QString description;
        bool operator==(const Bound &) const = default;
    };

    QDBusConnection m_connection;
    QString m_session;
    // The live hot keys: their labels, by identifier.
    std::map<std::uint32_t, HotKeyLabel> m_grabs;
    // By label name: what the desktop should have, what it was last sent, and the keys it assigned.
    std::map<QString, Bound> m_wanted;
    std::map<QString, Bound> m_bound;
    std::map<QString, QString> m_assigned;
    bool m_isBindQueued = false;
    int m_nextToken = 0;
};

} // namespace kestrova::platform::desktop
