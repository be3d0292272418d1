#include "app/system/BusSystemdUserManager.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/support/PrivateSessionBus.hpp"

#include <gtest/gtest.h>

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <map>

namespace kestrava {
namespace {

using app::PlatformError;
using Answer = std::optional<PlatformError>;

// systemd's Manager as the test plays it: it notes every call as "StartUnit(ss) kestrava-agent.service
// replace" and answers with the error set for its method (name, message), or an empty reply.
class FakeManager final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override {
        QString heard = call.interface() + "." + call.member() + "(" + call.signature() + ")";
        for (const QVariant& argument : call.arguments()) {
            const bool list = argument.typeId() == QMetaType::QStringList;
            heard += " " + (list ? "[" + argument.toStringList().join(",") + "]" : argument.toString());
        }
        calls.push_back(heard.toStdString());
        const auto error = errors.find(call.member());
        connection.send(error == errors.end()
                            ? call.createReply()
                            : call.createErrorReply(error->second.first, error->second.second));
        return true;
    }

    std::map<QString, std::pair<QString, QString>> errors;
    std::vector<std::string> calls;
};

class BusSystemdUserManagerTest : public testing::Test {
protected:
    BusSystemdUserManagerTest() { test::ensureQtApplication(); }
    ~BusSystemdUserManagerTest() override {
        for (const QString& name : {managerSide, clientSide, QStringLiteral("nowhere")}) {
            QDBusConnection::disconnectFromBus(name);
        }
    }

    // The fake on a connection of its own, under systemd's name.
    void serveManager() {
        QDBusConnection connection = connect(managerSide);
        ASSERT_TRUE(connection.registerVirtualObject("/org/freedesktop/systemd1", &manager));
        ASSERT_TRUE(connection.registerService("org.freedesktop.systemd1"));
    }
    QDBusConnection connect(const QString& name) {
        return QDBusConnection::connectToBus(QString::fromStdString(bus.address()), name);
    }

    static Answer answerOf(app::SystemdUserManager::Answer call) {
        const test::Started<Answer> started(std::move(call));
        EXPECT_TRUE(test::runQtUntil([&] { return started.done(); }));
        return started.done() ? started.result() : Answer{PlatformError{"no answer"}};
    }

    const QString managerSide = "systemd-manager", clientSide = "systemd-manager-client";
    test::PrivateSessionBus bus;
    FakeManager manager;
};

// Each method reaches systemd's Manager with the arguments systemctl would send.
TEST_F(BusSystemdUserManagerTest, CallsArriveAsSent) {
    serveManager();
    app::BusSystemdUserManager client(connect(clientSide));
    EXPECT_EQ(answerOf(client.enableUnitFiles("kestrava-agent.service")), std::nullopt);
    EXPECT_EQ(answerOf(client.reload()), std::nullopt);
    EXPECT_EQ(answerOf(client.startUnit("kestrava-agent.service")), std::nullopt);
    EXPECT_EQ(answerOf(client.stopUnit("kestrava-agent.service")), std::nullopt);
    EXPECT_EQ(answerOf(client.disableUnitFiles("kestrava-agent.service")), std::nullopt);
    const std::string prefix = "org.freedesktop.systemd1.Manager.";
    EXPECT_EQ(manager.calls, (std::vector<std::string>{
                                 prefix + "EnableUnitFiles(asbb) [kestrava-agent.service] false false",
                                 prefix + "Reload()",
                                 prefix + "StartUnit(ss) kestrava-agent.service replace",
                                 prefix + "StopUnit(ss) kestrava-agent.service replace",
                                 prefix + "DisableUnitFiles(asb) [kestrava-agent.service] false",
                             }));
}

// A D-Bus error comes back as its message, or its name when it has none: the bus's own when nobody
// serves systemd's name, the Manager's after. No bus at all is an error too.
TEST_F(BusSystemdUserManagerTest, ErrorsComeBackAsTheirText) {
    app::BusSystemdUserManager client(connect(clientSide));
    const Answer unserved = answerOf(client.reload());
    ASSERT_TRUE(unserved);
    EXPECT_NE(unserved->description.find("org.freedesktop.systemd1"), std::string::npos)
        << unserved->description;

    serveManager();
    manager.errors = {
        {"StartUnit", {"org.freedesktop.systemd1.UnitMasked", "Unit kestrava-agent.service is masked."}},
        {"StopUnit", {"org.freedesktop.systemd1.NoSuchUnit", ""}},
    };
    EXPECT_EQ(answerOf(client.startUnit("kestrava-agent.service")),
              PlatformError{"Unit kestrava-agent.service is masked."});
    EXPECT_EQ(answerOf(client.stopUnit("kestrava-agent.service")),
              PlatformError{"org.freedesktop.systemd1.NoSuchUnit"});
    EXPECT_EQ(answerOf(client.reload()), std::nullopt);

    app::BusSystemdUserManager unconnected(
        QDBusConnection::connectToBus("unix:path=/nonexistent", "nowhere"));
    const Answer noBus = answerOf(unconnected.reload());
    ASSERT_TRUE(noBus);
    EXPECT_TRUE(noBus->description.starts_with("no bus to reach the service manager: "))
        << noBus->description;
}

} // namespace
} // namespace kestrava
