#include "ui/overlay/PortalGlobalShortcut.h"

#include "tests/ui/overlay/FakeGlobalShortcut.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrel::ui::overlay {

struct TestShortcut {
    QString id;
    QVariantMap properties;
};

} // namespace kestrel::ui::overlay

Q_DECLARE_METATYPE(kestrel::ui::overlay::TestShortcut)

namespace kestrel::ui::overlay {

QDBusArgument &operator<<(QDBusArgument &argument, const TestShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TestShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

constexpr int kDeadlineMs = 5000;
using State = IGlobalShortcut::State;

// A session bus of the test's own: dbus-daemon, stopped with the holder.
class PrivateBus {
public:
    PrivateBus()
    {
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(ready[1], 3);
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3",
                     static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        pollfd wait{ready[0], POLLIN, 0};
        char c;
        while (::poll(&wait, 1, 20000) == 1 && ::read(ready[0], &c, 1) == 1 && c != '\n')
            address += c;
        ::close(ready[0]);
    }
    ~PrivateBus()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    QString Address() const { return QString::fromStdString(address); }

private:
    pid_t pid = -1;
    std::string address;
};

// The desktop portal's GlobalShortcuts, as KDE and GNOME answer it, with
// switches for a portal that lacks the interface or refuses the binding.
class FakePortal final : public QDBusVirtualObject {
public:
    explicit FakePortal(QDBusConnection connection) : bus(std::move(connection)) {}

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        const QString member = message.member();
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") && member == "Get") {
            if (!offersShortcuts) {
                bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                                                  QStringLiteral("no such interface")));
                return true;
            }
            bus.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
            return true;
        }
        if (message.interface() == QLatin1String(kPortalSessionInterface) && member == "Close") {
            closed.push_back(message.path());
            bus.send(message.createReply());
            return true;
        }
        if (message.interface() != QLatin1String(kPortalShortcutsInterface))
            return false;
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().last());
        const QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                    .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        if (member == "CreateSession") {
            session = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                          .arg(sender, options.value(QStringLiteral("session_handle_token")).toString());
            Respond(request, 0, {{QStringLiteral("session_handle"), session}});
        } else if (member == "BindShortcuts") {
            boundSession = qdbus_cast<QDBusObjectPath>(message.arguments().at(0)).path();
            const auto shortcuts = qdbus_cast<QList<TestShortcut>>(message.arguments().at(1));
            for (const TestShortcut &shortcut : shortcuts)
                triggers.push_back(shortcut.id + " " +
                                   shortcut.properties.value(QStringLiteral("preferred_trigger")).toString());
            QList<TestShortcut> bound = shortcuts;
            for (TestShortcut &shortcut : bound)
                shortcut.properties = {{QStringLiteral("trigger_description"), QStringLiteral("Ctrl+Alt+V")}};
            if (refuseBinding)
                Respond(request, 1, {});
            else
                Respond(request, 0, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
        }
        return true;
    }

    void Activate(const QString &sessionHandle, const QString &id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kPortalPath),
                                                         QString::fromLatin1(kPortalShortcutsInterface),
                                                         QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(sessionHandle)) << id << qulonglong(1234) << QVariantMap();
        bus.send(signal);
    }

    bool offersShortcuts = true;
    bool refuseBinding = false;
    QString session;      // the newest session made
    QString boundSession; // the one the newest binding went to
    std::vector<QString> triggers;
    std::vector<QString> closed;

private:
    void Respond(const QString &request, uint response, const QVariantMap &results)
    {
        QDBusMessage signal = QDBusMessage::createSignal(request, QString::fromLatin1(kPortalRequestInterface),
                                                         QStringLiteral("Response"));
        signal << response << results;
        bus.send(signal);
    }

    QDBusConnection bus;
};

struct PortalShortcut : ::testing::Test {
    PortalShortcut()
        : portalBus(QDBusConnection::connectToBus(bus.Address(), QStringLiteral("portal"))),
          clientBus(QDBusConnection::connectToBus(bus.Address(), QStringLiteral("client"))), portal(portalBus)
    {
        qDBusRegisterMetaType<TestShortcut>();
        qDBusRegisterMetaType<QList<TestShortcut>>();
    }
    ~PortalShortcut() override
    {
        shortcut.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    }
    void Offer()
    {
        ASSERT_TRUE(portalBus.isConnected()) << "no dbus-daemon";
        ASSERT_TRUE(portalBus.registerService(QString::fromLatin1(kPortalService)));
        ASSERT_TRUE(portalBus.registerVirtualObject(QString::fromLatin1(kPortalPath), &portal,
                                                    QDBusConnection::SubPath));
    }
    void Make(std::unique_ptr<IGlobalShortcut> fallback = nullptr)
    {
        shortcut = std::make_unique<CPortalGlobalShortcut>(clientBus, std::move(fallback));
        shortcut->SetActivatedHandler([this] { ++activations; });
    }
    bool StateBecomes(State state)
    {
        return QTest::qWaitFor([&] { return shortcut->CurrentState() == state; }, kDeadlineMs);
    }

    PrivateBus bus;
    QDBusConnection portalBus;
    QDBusConnection clientBus;
    FakePortal portal;
    std::unique_ptr<CPortalGlobalShortcut> shortcut;
    int activations = 0;
};

TEST_F(PortalShortcut, TheHotKeyIsThePreferredTriggerOfOneShortcutThatActivates)
{
    Offer();
    Make();
    shortcut->SetHotKey({0x56, 0x06});
    ASSERT_TRUE(StateBecomes(State::Bound));
    EXPECT_TRUE(shortcut->UsesPortal());
    ASSERT_EQ(portal.triggers.size(), 1u);
    EXPECT_EQ(portal.triggers[0], QStringLiteral("toggle-overlay CTRL+ALT+v"));
    EXPECT_EQ(portal.boundSession, portal.session);

    portal.Activate(portal.session, QStringLiteral("toggle-overlay"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 1; }, kDeadlineMs));
    // Another program's session, or another shortcut id, is not ours.
    portal.Activate(QStringLiteral("/org/freedesktop/portal/desktop/session/x/other"), QStringLiteral("toggle-overlay"));
    portal.Activate(portal.session, QStringLiteral("something-else"));
    portal.Activate(portal.session, QStringLiteral("toggle-overlay"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 2; }, kDeadlineMs));
    EXPECT_EQ(activations, 2);
}

TEST_F(PortalShortcut, ANewHotKeyClosesTheSessionAndBindsInANewOne)
{
    Offer();
    Make();
    shortcut->SetHotKey({0x56, 0x06});
    ASSERT_TRUE(StateBecomes(State::Bound));
    const QString first = portal.session;
    shortcut->SetHotKey({0x74, 0x01}); // Shift+F5
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.triggers.size() == 2; }, kDeadlineMs));
    EXPECT_EQ(portal.triggers[1], QStringLiteral("toggle-overlay SHIFT+F5"));
    EXPECT_TRUE(StateBecomes(State::Bound));
    EXPECT_NE(portal.session, first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !portal.closed.empty(); }, kDeadlineMs));
    EXPECT_EQ(portal.closed[0], first);
    // The old session's activation no longer counts.
    portal.Activate(first, QStringLiteral("toggle-overlay"));
    portal.Activate(portal.session, QStringLiteral("toggle-overlay"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 1; }, kDeadlineMs));

    shortcut->SetHotKey({}); // "Key" 0: no hot key at all
    EXPECT_EQ(shortcut->CurrentState(), State::NoHotKey);
    EXPECT_TRUE(QTest::qWaitFor([&] { return portal.closed.size() == 2; }, kDeadlineMs));
}

TEST_F(PortalShortcut, ABindingTheDesktopRefusesNeedsADesktopShortcut)
{
    portal.refuseBinding = true;
    Offer();
    Make();
    shortcut->SetHotKey({0x56, 0x06});
    ASSERT_TRUE(StateBecomes(State::Unsupported));
    EXPECT_TRUE(NeedsDesktopShortcut(shortcut->CurrentState()));
}

TEST_F(PortalShortcut, WithoutTheInterfaceTheFallbackTakesTheHotKey)
{
    portal.offersShortcuts = false;
    Offer();
    auto fallback = std::make_unique<test::FakeGlobalShortcut>();
    test::FakeGlobalShortcut *grab = fallback.get();
    Make(std::move(fallback));
    shortcut->SetHotKey({0x56, 0x06});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !grab->bound.empty(); }, kDeadlineMs));
    EXPECT_EQ(grab->bound.back(), (overlaysettings::HotKey{0x56, 0x06}));
    EXPECT_FALSE(shortcut->UsesPortal());
    grab->SetStateNow(State::FocusOnly);
    EXPECT_EQ(shortcut->CurrentState(), State::FocusOnly);
    grab->Press();
    EXPECT_EQ(activations, 1);
    EXPECT_TRUE(portal.triggers.empty());
}

TEST_F(PortalShortcut, WithoutAnyPortalOrFallbackNothingCanBind)
{
    Make(); // nobody owns the portal's name
    shortcut->SetHotKey({0x56, 0x06});
    EXPECT_TRUE(StateBecomes(State::Unsupported));
}

} // namespace
} // namespace kestrel::ui::overlay
