// Which icon shows: the choice itself, and the switch that makes it against a watcher the tests play on a
// private bus and trayer on an X server of the test's own, on a virtual clock.
#include "app/tray/TrayIconChoice.hpp"
#include "app/tray/TrayIconSwitch.hpp"
#include "tests/app-support/PlayedWatcher.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Trayer.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/app-support/XvfbDisplay.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QMenu>
#include <QSystemTrayIcon>
#include <memory>
#include <optional>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::HostPresence;
using app::ItemStanding;
using app::TrayIcon;

std::string nameOf(TrayIcon icon) {
    switch (icon) {
    case TrayIcon::undecided:
        return "undecided";
    case TrayIcon::ownItem:
        return "our item";
    case TrayIcon::qtIcon:
        return "Qt's icon";
    case TrayIcon::none:
        return "none";
    }
    return "?";
}

// Exactly one icon where a tray shows it: our item where a host draws it, else Qt's in an XEmbed tray;
// none while the watcher has not said whether a host is there.
TEST(TrayIconChoice, OneIconWhereATrayShowsIt) {
    struct Row {
        app::TraySituation situation;
        TrayIcon chosen;
    };
    constexpr auto unknown = HostPresence::unknown;
    constexpr auto absent = HostPresence::absent;
    constexpr auto present = HostPresence::present;
    constexpr auto pending = ItemStanding::pending;
    constexpr auto listed = ItemStanding::listed;
    constexpr auto refused = ItemStanding::refused;
    const std::vector<Row> rows{
        {{false, absent, pending, false}, TrayIcon::none},
        {{false, absent, pending, true}, TrayIcon::qtIcon},
        {{false, present, listed, true}, TrayIcon::qtIcon},
        {{true, unknown, pending, true}, TrayIcon::undecided},
        {{true, unknown, refused, false}, TrayIcon::undecided},
        {{true, absent, listed, false}, TrayIcon::none},
        {{true, absent, listed, true}, TrayIcon::qtIcon},
        {{true, absent, refused, true}, TrayIcon::qtIcon},
        {{true, present, pending, true}, TrayIcon::ownItem},
        {{true, present, listed, false}, TrayIcon::ownItem},
        {{true, present, listed, true}, TrayIcon::ownItem},
        {{true, present, refused, false}, TrayIcon::none},
        {{true, present, refused, true}, TrayIcon::qtIcon},
    };
    for (std::size_t n = 0; n < rows.size(); ++n) {
        EXPECT_EQ(nameOf(app::chooseTrayIcon(rows[n].situation)), nameOf(rows[n].chosen)) << "row " << n;
    }
}

class TrayIconSwitchTest : public testing::Test {
protected:
    TrayIconSwitchTest() { test::ensureQtApplication(); }
    ~TrayIconSwitchTest() override {
        icon.reset();
        watcher.stop();
        trayer.reset();
        QDBusConnection::disconnectFromBus(appSide);
    }

    void SetUp() override {
        if (const auto missing = test::XvfbDisplay::whyMissing({QStringLiteral("trayer")})) {
            GTEST_SKIP() << *missing;
        }
        x.emplace(home.path());
        menu = std::make_unique<QMenu>();
        menu->addAction(QStringLiteral("Mở"));
    }

    void startSwitch() {
        icon.emplace(*menu, QDBusConnection::connectToBus(QString::fromStdString(bus.address()), appSide),
                     scheduler, x->name());
    }
    QString itemService() const {
        return QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
    }
    // What the switch shows and whether the desktop sees just that: a host draws our item, Qt's icon is
    // shown, or neither.
    bool shows(TrayIcon expected) {
        const auto* qt = icon->findChild<QSystemTrayIcon*>();
        const bool qtShown = qt && qt->isVisible();
        const bool drawn = watcher.host() && watcher.listed().contains(itemService());
        return icon->shown() == expected && qtShown == (expected == TrayIcon::qtIcon) &&
               drawn == (expected == TrayIcon::ownItem);
    }
    // Runs the loop, the virtual clock moving on meanwhile, until `done`.
    bool settle(const std::function<bool()>& done) {
        return test::runQtUntil(
            done, [&] { scheduler.advance(100ms); }, 60s);
    }
    bool becomes(TrayIcon expected) {
        return settle([&] { return shows(expected); });
    }

    const QString appSide = QStringLiteral("tray-app");
    test::PrivateSessionBus bus;
    const test::TemporaryDirectory home;
    std::optional<test::XvfbDisplay> x;
    std::optional<test::Trayer> trayer;
    test::PlayedWatcher watcher{bus.address(), {}};
    test::VirtualScheduler scheduler;
    // Made once the test has its QApplication.
    std::unique_ptr<QMenu> menu;
    std::optional<app::TrayIconSwitch> icon;
};

// What shows once the switch has made its choice, for a watcher there or not, with a host or not, that
// lists our item or refuses it, beside an XEmbed tray or not.
TEST_F(TrayIconSwitchTest, ChoosesFromWhatIsThere) {
    struct Row {
        const char* name;
        std::optional<test::PlayedWatcher::Manner> watcher;
        bool xembedTray;
        TrayIcon shown;
    };
    const std::vector<Row> rows{
        {"nothing", std::nullopt, false, TrayIcon::none},
        {"an XEmbed tray alone", std::nullopt, true, TrayIcon::qtIcon},
        {"a watcher with no host", {{.host = false}}, false, TrayIcon::none},
        {"a watcher with no host beside an XEmbed tray", {{.host = false}}, true, TrayIcon::qtIcon},
        {"a host", {{}}, false, TrayIcon::ownItem},
        {"a host beside an XEmbed tray", {{}}, true, TrayIcon::ownItem},
        {"a host whose watcher's object comes late", {{.refusals = 2}}, true, TrayIcon::ownItem},
        {"a host whose watcher never lists our item", {{.lists = false}}, false, TrayIcon::none},
        {"a host whose watcher never lists our item, beside an XEmbed tray",
         {{.lists = false}},
         true,
         TrayIcon::qtIcon},
        {"a watcher whose object never comes, beside an XEmbed tray",
         {{.refusals = 100}},
         true,
         TrayIcon::qtIcon},
        {"a watcher with no host that never lists our item, beside an XEmbed tray",
         {{.host = false, .lists = false}},
         true,
         TrayIcon::qtIcon},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.watcher) {
            watcher.setManner(*row.watcher);
            watcher.start();
        }
        if (row.xembedTray) {
            trayer.emplace(*x);
        }
        startSwitch();
        bool settled = false;
        icon->onceSettled([&] { settled = true; });
        EXPECT_TRUE(settle([&] { return settled; }));
        EXPECT_EQ(nameOf(icon->shown()), nameOf(row.shown));
        EXPECT_TRUE(becomes(row.shown)) << nameOf(icon->shown());
        icon.reset();
        watcher.stop();
        trayer.reset();
    }
}

// Each change while it runs: a host that goes and comes, a watcher that leaves and restarts (its object
// late, or never listing our item: by then Qt's icon is the XEmbed one, and takes the item's place), and
// an XEmbed tray that goes and comes.
TEST_F(TrayIconSwitchTest, FollowsEachChange) {
    trayer.emplace(*x);
    watcher.start();
    startSwitch();
    EXPECT_TRUE(becomes(TrayIcon::ownItem));
    watcher.setHost(false);
    EXPECT_TRUE(becomes(TrayIcon::qtIcon));
    watcher.setHost(true);
    EXPECT_TRUE(becomes(TrayIcon::ownItem));
    watcher.stop();
    EXPECT_TRUE(becomes(TrayIcon::qtIcon));
    watcher.setManner({.refusals = 2});
    watcher.start();
    EXPECT_TRUE(becomes(TrayIcon::ownItem));
    watcher.setManner({.lists = false});
    watcher.stop();
    watcher.start();
    EXPECT_TRUE(settle([&] { return watcher.asked().size() >= 9; }));
    EXPECT_TRUE(becomes(TrayIcon::qtIcon));
    trayer.reset();
    EXPECT_TRUE(becomes(TrayIcon::none));
    trayer.emplace(*x);
    EXPECT_TRUE(becomes(TrayIcon::qtIcon));
    watcher.setManner({});
    watcher.stop();
    watcher.start();
    EXPECT_TRUE(becomes(TrayIcon::ownItem));
}

} // namespace
} // namespace kestrava
