#include "app/runtime/UiText.hpp"
#include "app/state/AppError.hpp"
#include "app/system/BusSystemdUserManager.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/support/PrivateSessionBus.hpp"

#include <gtest/gtest.h>

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <map>
#include <tuple>

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

// A D-Bus error comes back as its message, or its name when it has none: the bus's own when nobody serves
// systemd's name (where the bus would start it, that start fails), the Manager's after. No bus at all is an
// error too. The user reads the cause in Vietnamese, told by the error's name, and the system's words on
// the line after, for a search; a cause without a sentence shows the words alone.
TEST_F(BusSystemdUserManagerTest, FailuresReadAsTheirCauseThenTheSystemsWords) {
    app::BusSystemdUserManager client(connect(clientSide));
    const Answer unserved = answerOf(client.enableUnitFiles("kestrava-agent.service"));
    ASSERT_TRUE(unserved);
    EXPECT_NE(unserved->description.find("org.freedesktop.systemd1"), std::string::npos);
    const QString noManager = app::uiText("Phiên đăng nhập này không có trình quản lý dịch vụ của người dùng "
                                          "(systemd --user)");
    EXPECT_EQ(app::message(*unserved).toStdString(),
              (noManager + "\n").toStdString() + unserved->description);

    serveManager();
    const QString denied = app::uiText("Hệ thống từ chối: không đủ quyền");
    const QString notFound = app::uiText("Trình quản lý dịch vụ không tìm thấy dịch vụ của agent");
    const QString late = app::uiText("Trình quản lý dịch vụ không phản hồi kịp");
    const std::vector<std::tuple<QString, QString, QString>> table{
        {"org.freedesktop.DBus.Error.ServiceUnknown",
         "The name org.freedesktop.systemd1 was not provided by any .service files", noManager},
        {"org.freedesktop.DBus.Error.Spawn.ChildExited",
         "Process org.freedesktop.systemd1 exited with status 1", noManager},
        {"org.freedesktop.DBus.Error.NameHasNoOwner", "Could not get owner of name", noManager},
        {"org.freedesktop.DBus.Error.AccessDenied", "Access denied", denied},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
         "Interactive authentication required.", denied},
        {"org.freedesktop.systemd1.NoSuchUnit", "Unit kestrava-agent.service not found.", notFound},
        {"org.freedesktop.systemd1.NoSuchUnit", "", notFound},
        {"org.freedesktop.systemd1.LoadFailed", "Unit kestrava-agent.service failed to load properly.",
         notFound},
        {"org.freedesktop.DBus.Error.NoReply", "Did not receive a reply.", late},
        {"org.freedesktop.DBus.Error.Timeout", "Connection timed out", late},
        {"org.freedesktop.DBus.Error.TimedOut", "Timed out", late},
        {"org.freedesktop.systemd1.UnitMasked", "Unit kestrava-agent.service is masked.", ""},
        {"org.freedesktop.DBus.Error.Failed", "Operation failed", ""},
    };
    for (const auto& [name, words, sentence] : table) {
        manager.errors = {{"StartUnit", {name, words}}};
        const Answer failed = answerOf(client.startUnit("kestrava-agent.service"));
        ASSERT_TRUE(failed) << name.toStdString();
        const QString systemWords = words.isEmpty() ? name : words;
        EXPECT_EQ(app::message(*failed).toStdString(),
                  (sentence.isEmpty() ? systemWords : sentence + "\n" + systemWords).toStdString());
    }

    app::BusSystemdUserManager unconnected(
        QDBusConnection::connectToBus("unix:path=/nonexistent", "nowhere"));
    const Answer noBus = answerOf(unconnected.reload());
    ASSERT_TRUE(noBus);
    EXPECT_EQ(app::message(*noBus).toStdString(), (noManager + "\n").toStdString() + noBus->description);
}

} // namespace
} // namespace kestrava
