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
// application cannot grab keys itself (Wayland). One portal session for the process; every grab binds the
// whole set again, each chord offered as the preferred trigger, and the desktop (or the user) decides the
// keys: what it assigned is assignedTrigger. Activated and Deactivated become presses and releases.
class HotKeyPortalBackend final : public QObject, public HotKeyBackend {
    Q_OBJECT
public:
    // Null when the bus has no portal that offers global shortcuts.
    static std::unique_ptr<HotKeyPortalBackend> create(QDBusConnection connection);
    ~HotKeyPortalBackend() override;

    bool grab(std::uint32_t id, HotKeyChord chord) override;
    void release(std::uint32_t id) override;
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

private:
    explicit HotKeyPortalBackend(QDBusConnection connection);
    // Calls `method` of the portal with a fresh request token in the options (the last argument), the
    // answer going to `slot`; subscribed before the call, so that no answer is missed.
    void request(const QString &method, QVariantList arguments, const char *slot);
    void bind();
    void readAssigned(const QVariant &shortcuts);

    QDBusConnection m_connection;
    QString m_session;
    std::map<std::uint32_t, HotKeyChord> m_chords;
    std::map<std::uint32_t, QString> m_assigned;
    int m_nextToken = 0;
};

} // namespace kestrova::platform::desktop
