#include "ui/overlay/PortalGlobalShortcut.h"

#include "ui/overlay/HotKeyTranslation.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace kestrel::ui::overlay {
namespace {

// One element of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

} // namespace
} // namespace kestrel::ui::overlay

Q_DECLARE_METATYPE(kestrel::ui::overlay::PortalShortcut)

namespace kestrel::ui::overlay {
namespace {

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

void RegisterPortalTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    (void)registered;
}

constexpr int kPortalCallTimeoutMs = 5000;
constexpr uint kResponseSuccess = 0;

QString ToggleDescription()
{
    return QObject::tr("Show or hide the floating picture of the call");
}

} // namespace

CPortalGlobalShortcut::CPortalGlobalShortcut(QDBusConnection connection, std::unique_ptr<IGlobalShortcut> fallbackShortcut)
    : bus(std::move(connection)), fallback(std::move(fallbackShortcut))
{
    RegisterPortalTypes();
    if (!bus.isConnected()) {
        UseFallback();
        return;
    }
    bus.connect(kPortalService, kPortalPath, kPortalShortcutsInterface, QStringLiteral("Activated"), this,
                SLOT(OnActivated(QDBusMessage)));
    QDBusMessage probe = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                        QStringLiteral("org.freedesktop.DBus.Properties"),
                                                        QStringLiteral("Get"));
    probe << QString::fromLatin1(kPortalShortcutsInterface) << QStringLiteral("version");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(probe, kPortalCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) { OnProbed(call); });
}

CPortalGlobalShortcut::~CPortalGlobalShortcut()
{
    CloseSession();
}

IGlobalShortcut::State CPortalGlobalShortcut::CurrentState() const
{
    if (mode == Mode::Fallback)
        return fallback ? fallback->CurrentState() : State::Unsupported;
    return state;
}

void CPortalGlobalShortcut::SetState(State newState)
{
    if (state == newState)
        return;
    state = newState;
    NotifyState(state);
}

void CPortalGlobalShortcut::OnProbed(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    if (call->isError()) {
        UseFallback(); // no portal, or one without global shortcuts
        return;
    }
    mode = Mode::Portal;
    StartSession();
}

void CPortalGlobalShortcut::UseFallback()
{
    mode = Mode::Fallback;
    if (!fallback) {
        SetState(State::Unsupported);
        return;
    }
    fallback->SetActivatedHandler([this] { NotifyActivated(); });
    fallback->SetStateHandler([this](State fallbackState) {
        state = fallbackState;
        NotifyState(fallbackState);
    });
    fallback->SetHotKey(hotKey);
    state = fallback->CurrentState();
    NotifyState(state);
}

void CPortalGlobalShortcut::SetHotKey(overlaysettings::HotKey newHotKey)
{
    const bool changed = !(newHotKey == hotKey);
    hotKey = newHotKey;
    switch (mode) {
    case Mode::Probing: break; // bound once the portal answers
    case Mode::Fallback:
        if (fallback)
            fallback->SetHotKey(hotKey);
        break;
    case Mode::Portal:
        if (changed || sessionHandle.isEmpty()) {
            CloseSession();
            StartSession();
        }
        break;
    }
}

QString CPortalGlobalShortcut::NextToken()
{
    return QStringLiteral("kestrel%1").arg(++tokens);
}

void CPortalGlobalShortcut::StartSession()
{
    if (PortalTrigger(hotKey).empty()) {
        SetState(State::NoHotKey);
        return;
    }
    SetState(State::Pending);
    Request(QStringLiteral("CreateSession"), {}, {{QStringLiteral("session_handle_token"), NextToken()}},
            SLOT(OnSessionCreated(uint, QVariantMap)));
}

void CPortalGlobalShortcut::Request(const QString &method, QList<QVariant> arguments, QVariantMap options,
                                    const char *slot)
{
    ForgetRequest();
    // The Response may come before the call's reply: listen on the path the
    // portal will use before asking.
    const QString token = NextToken();
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    requestPath = QStringLiteral("%1/request/%2/%3").arg(QLatin1String(kPortalPath), sender, token);
    requestSlot = slot;
    bus.connect(kPortalService, requestPath, kPortalRequestInterface, QStringLiteral("Response"), this, slot);
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalShortcutsInterface, method);
    arguments.append(options);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kPortalCallTimeoutMs), this);
    const QString expected = requestPath;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, expected](QDBusPendingCallWatcher *reply) {
        reply->deleteLater();
        if (requestPath != expected)
            return; // a newer request replaced this one
        QDBusPendingReply<QDBusObjectPath> handle = *reply;
        if (handle.isError()) {
            ForgetRequest();
            SetState(State::Unsupported);
            return;
        }
        const QString actual = handle.value().path();
        if (actual != requestPath) { // an older portal that ignores handle_token
            const char *slotToKeep = requestSlot;
            ForgetRequest();
            requestPath = actual;
            requestSlot = slotToKeep;
            bus.connect(kPortalService, requestPath, kPortalRequestInterface, QStringLiteral("Response"), this,
                        slotToKeep);
        }
    });
}

void CPortalGlobalShortcut::ForgetRequest()
{
    if (!requestPath.isEmpty())
        bus.disconnect(kPortalService, requestPath, kPortalRequestInterface, QStringLiteral("Response"), this,
                       requestSlot);
    requestPath.clear();
    requestSlot = nullptr;
}

void CPortalGlobalShortcut::OnSessionCreated(uint response, const QVariantMap &results)
{
    ForgetRequest();
    sessionHandle = results.value(QStringLiteral("session_handle")).toString();
    if (response != kResponseSuccess || sessionHandle.isEmpty()) {
        sessionHandle.clear();
        SetState(State::Unsupported);
        return;
    }
    QVariantMap properties{{QStringLiteral("description"), ToggleDescription()},
                           {QStringLiteral("preferred_trigger"), QString::fromStdString(PortalTrigger(hotKey))}};
    const QList<PortalShortcut> shortcuts{{QString::fromLatin1(kToggleShortcutId), properties}};
    Request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(sessionHandle)), QVariant::fromValue(shortcuts), QString()}, {},
            SLOT(OnShortcutsBound(uint, QVariantMap)));
}

void CPortalGlobalShortcut::OnShortcutsBound(uint response, const QVariantMap &results)
{
    ForgetRequest();
    bool bound = false;
    if (response == kResponseSuccess) {
        const auto list = qdbus_cast<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts")));
        for (const PortalShortcut &shortcut : list)
            bound = bound || shortcut.id == QLatin1String(kToggleShortcutId);
    }
    // Refused, or left out by the user: the desktop needs a shortcut of its own.
    SetState(bound ? State::Bound : State::Unsupported);
}

void CPortalGlobalShortcut::OnActivated(const QDBusMessage &signal)
{
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> arguments = signal.arguments();
    if (arguments.size() < 2 || sessionHandle.isEmpty())
        return;
    const QString session = qdbus_cast<QDBusObjectPath>(arguments.at(0)).path();
    if (session == sessionHandle && arguments.at(1).toString() == QLatin1String(kToggleShortcutId))
        NotifyActivated();
}

void CPortalGlobalShortcut::CloseSession()
{
    ForgetRequest();
    if (sessionHandle.isEmpty())
        return;
    bus.asyncCall(QDBusMessage::createMethodCall(kPortalService, sessionHandle, kPortalSessionInterface,
                                                 QStringLiteral("Close")));
    sessionHandle.clear();
}

} // namespace kestrel::ui::overlay
