#include "app/tray/GnomeOverview.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/PrivateSessionBus.hpp"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <optional>
#include <stdexcept>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

const QString shellPath = QStringLiteral("/org/gnome/Shell");

// GNOME Shell's overview as the tests play it: shown or not, leaving it when asked, and saying so or not.
class PlayedShell final : public QDBusVirtualObject {
public:
    PlayedShell(const std::string& busAddress, bool shown, bool tells) : shown_(shown), tells_(tells) {
        QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(busAddress), name_);
        if (!connection.registerVirtualObject(shellPath, this) ||
            !connection.interface()->registerService(QStringLiteral("org.gnome.Shell")).isValid()) {
            throw std::runtime_error("the played shell cannot take its name");
        }
    }
    ~PlayedShell() override {
        QDBusConnection(name_).unregisterObject(shellPath);
        QDBusConnection::disconnectFromBus(name_);
    }

    bool shown() const noexcept { return shown_; }
    void show() {
        shown_ = true;
        tell();
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override {
        const QVariantList arguments = call.arguments();
        if (call.member() == QLatin1String("Get")) {
            connection.send(call.createReply(QVariant::fromValue(QDBusVariant(shown_))));
        } else if (call.member() == QLatin1String("Set")) {
            shown_ = arguments.value(2).value<QDBusVariant>().variant().toBool();
            connection.send(call.createReply());
            if (tells_) {
                tell();
            }
        } else {
            connection.send(call.createErrorReply(QDBusError::UnknownMethod, call.member()));
        }
        return true;
    }

private:
    void tell() const {
        QDBusMessage changed =
            QDBusMessage::createSignal(shellPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("PropertiesChanged"));
        changed << QStringLiteral("org.gnome.Shell")
                << QVariantMap{{QStringLiteral("OverviewActive"), shown_}} << QStringList();
        QDBusConnection(name_).send(changed);
    }

    const QString name_ = QStringLiteral("played-shell");
    bool shown_;
    const bool tells_;
};

// A panel asked for while the overview is shown opens once the shell has left it, or a second after
// asking where the shell does not say it has; at once where the overview is not shown or no shell is there.
TEST(GnomeOverview, IsLeftBeforeThePanelOpens) {
    test::ensureQtApplication();
    struct Case {
        const char* what;
        std::optional<bool> shown; // no shell where none
        bool tells;
    };
    for (const Case& c :
         {Case{"no shell", std::nullopt, true}, Case{"the desktop shown", false, true},
          Case{"the overview shown", true, true}, Case{"a shell that does not tell", true, false}}) {
        SCOPED_TRACE(c.what);
        const test::PrivateSessionBus bus;
        std::optional<PlayedShell> shell;
        if (c.shown) {
            shell.emplace(bus.address(), *c.shown, c.tells);
        }
        test::VirtualScheduler scheduler;
        const QDBusConnection connection = QDBusConnection::connectToBus(
            QString::fromStdString(bus.address()), QStringLiteral("application"));
        app::GnomeOverview overview(connection, scheduler);
        // Once the overview's state is known.
        test::runQtUntil([] { return false; }, {}, 300ms);

        int opened = 0;
        overview.leaveThen([&] { ++opened; });
        overview.leaveThen([&] { ++opened; });
        if (c.shown == true) {
            EXPECT_EQ(opened, 0);
            EXPECT_TRUE(test::runQtUntil([&] { return !shell->shown(); }));
            if (c.tells) {
                EXPECT_TRUE(test::runQtUntil([&] { return opened == 2; }));
            } else {
                test::runQtUntil([] { return false; }, {}, 300ms);
                scheduler.advance(999ms);
                EXPECT_EQ(opened, 0);
                scheduler.advance(1ms);
            }
        }
        EXPECT_EQ(opened, 2);
        if (shell) {
            // The user goes back to it.
            shell->show();
            test::runQtUntil([] { return false; }, {}, 300ms);
            overview.leaveThen([&] { ++opened; });
            EXPECT_EQ(opened, 2);
            scheduler.advance(1s);
            EXPECT_TRUE(test::runQtUntil([&] { return opened == 3; }));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("application"));
    }
}

} // namespace
} // namespace kestrava
