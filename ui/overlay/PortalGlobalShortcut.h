#pragma once

#include "ui/overlay/GlobalShortcut.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace kestrel::ui::overlay {

// D-Bus names of the desktop portal's global shortcuts.
inline constexpr const char *kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char *kPortalPath = "/org/freedesktop/portal/desktop";
inline constexpr const char *kPortalShortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
inline constexpr const char *kPortalRequestInterface = "org.freedesktop.portal.Request";
inline constexpr const char *kPortalSessionInterface = "org.freedesktop.portal.Session";
// The one shortcut Kestrel binds.
inline constexpr const char *kToggleShortcutId = "toggle-overlay";

// The hot key through the desktop portal's GlobalShortcuts interface (KDE
// Plasma 5.27 and later, GNOME 48 and later): a session with one shortcut
// whose preferred trigger is the hot key; the desktop may ask the user and
// lets them change it in its own settings. A new hot key closes the session
// and binds again in a new one.
//
// Until the portal answers that it offers the interface the state is
// Pending; when it does not, the hot key goes to `fallback` (the X11 grab
// under XWayland, which works while an X11 window has the focus), or the
// state is Unsupported without one.
//
// Threads: user-interface thread (D-Bus replies and signals arrive there).
class CPortalGlobalShortcut final : public QObject, public IGlobalShortcut {
    Q_OBJECT
public:
    CPortalGlobalShortcut(QDBusConnection bus, std::unique_ptr<IGlobalShortcut> fallback);
    ~CPortalGlobalShortcut() override;

    void SetHotKey(overlaysettings::HotKey hotKey) override;
    State CurrentState() const override;

    bool UsesPortal() const { return mode == Mode::Portal; }

private slots:
    void OnSessionCreated(uint response, const QVariantMap &results);
    void OnShortcutsBound(uint response, const QVariantMap &results);
    void OnActivated(const QDBusMessage &signal);

private:
    enum class Mode { Probing, Portal, Fallback };

    void OnProbed(QDBusPendingCallWatcher *call);
    void UseFallback();
    void StartSession();
    void CloseSession();
    // Asks `method` of the portal and routes the request's Response to `slot`.
    void Request(const QString &method, QList<QVariant> arguments, QVariantMap options, const char *slot);
    void ForgetRequest();
    QString NextToken();
    void SetState(State newState);

    QDBusConnection bus;
    std::unique_ptr<IGlobalShortcut> fallback;
    Mode mode = Mode::Probing;
    overlaysettings::HotKey hotKey{};
    State state = State::Pending;
    QString sessionHandle;   // of the open session, else empty
    QString requestPath;     // the request whose Response is awaited, else empty
    const char *requestSlot = nullptr;
    int tokens = 0;
};

} // namespace kestrel::ui::overlay
