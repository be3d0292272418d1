// An item's registration against a watcher the tests play on a private bus, on a virtual clock: one that
// refuses the first registrations, lists the item or not, spells it as one of the watchers hosts run, has
// a host or not, drops the item, hangs, restarts and leaves.
#include "app/tray/ItemRegistration.hpp"
#include "tests/app-support/PlayedWatcher.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/PrivateSessionBus.hpp"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <chrono>
#include <numeric>
#include <optional>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using Spelling = test::PlayedWatcher::Spelling;

const QString itemService = QStringLiteral("org.kde.StatusNotifierItem-test-1");

class ItemRegistrationTest : public testing::Test {
protected:
    ItemRegistrationTest() { test::ensureQtApplication(); }
    ~ItemRegistrationTest() override {
        registration.reset();
        watcher.reset();
        QDBusConnection::disconnectFromBus(itemSide);
    }

    void play(test::PlayedWatcher::Manner manner) {
        watcher.emplace(bus.address(), manner);
        watcher->start();
    }
    void startItem() {
        QDBusConnection connection =
            QDBusConnection::connectToBus(QString::fromStdString(bus.address()), itemSide);
        ASSERT_TRUE(connection.registerService(itemService));
        registration.emplace(connection, itemService, scheduler);
    }
    // Runs the loop, the virtual clock moving on meanwhile, until `done`.
    bool settle(const std::function<bool()>& done) {
        return test::runQtUntil(
            done, [&] { scheduler.advance(20ms); }, 60s);
    }
    bool standsAs(app::ItemStanding standing, app::HostPresence host) {
        return settle([&] { return registration->standing() == standing && registration->host() == host; });
    }

    const QString itemSide = QStringLiteral("item");
    test::PrivateSessionBus bus;
    test::VirtualScheduler scheduler;
    std::optional<test::PlayedWatcher> watcher;
    std::optional<app::ItemRegistration> registration;
};

// The item counts as listed only once the watcher lists it, by any of the names hosts spell it with. A
// refused registration is tried again after a growing wait; one the watcher takes without listing the
// item is tried again a few seconds later; after as many attempts as the back-off has, plus the first,
// the item is refused. A watcher that never answered has no host either.
TEST_F(ItemRegistrationTest, ListedOnlyWhenTheWatcherListsIt) {
    struct Row {
        const char* name;
        test::PlayedWatcher::Manner manner;
        app::ItemStanding standing;
        app::HostPresence host;
        qsizetype attempts;
    };
    const qsizetype allAttempts = app::ItemRegistration::backOff.size() + 1;
    const std::vector<Row> rows{
        {"takes and lists it", {}, app::ItemStanding::listed, app::HostPresence::present, 1},
        {"no host", {.host = false}, app::ItemStanding::listed, app::HostPresence::absent, 1},
        {"by the unique name",
         {.spelling = Spelling::uniqueName},
         app::ItemStanding::listed,
         app::HostPresence::present,
         1},
        {"by the name with its path",
         {.spelling = Spelling::asGivenWithPath},
         app::ItemStanding::listed,
         app::HostPresence::present,
         1},
        {"by the unique name with its path",
         {.spelling = Spelling::uniqueNameWithPath},
         app::ItemStanding::listed,
         app::HostPresence::present,
         1},
        {"its object comes late", {.refusals = 2}, app::ItemStanding::listed, app::HostPresence::present, 3},
        {"never lists it",
         {.lists = false},
         app::ItemStanding::refused,
         app::HostPresence::present,
         allAttempts},
        {"its object never comes",
         {.refusals = 100},
         app::ItemStanding::refused,
         app::HostPresence::absent,
         allAttempts},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        play(row.manner);
        startItem();
        EXPECT_TRUE(registration->watcherPresent());
        // Each attempt on the virtual clock, from the start.
        std::vector<std::chrono::milliseconds> asked;
        EXPECT_TRUE(settle([&] {
            while (static_cast<qsizetype>(asked.size()) < watcher->asked().size()) {
                asked.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(scheduler.elapsed()));
            }
            return registration->standing() == row.standing && registration->host() == row.host;
        }));
        EXPECT_EQ(watcher->asked().size(), row.attempts);
        EXPECT_EQ(watcher->asked(), QStringList(watcher->asked().size(), itemService));
        // Not before the back-off's waits, and, for a watcher that takes the item without listing it, its
        // patience.
        for (std::size_t n = 1; n < asked.size(); ++n) {
            const auto waited = std::accumulate(app::ItemRegistration::backOff.begin(),
                                                app::ItemRegistration::backOff.begin() + n, 0ms) +
                                (row.manner.lists ? 0ms : app::ItemRegistration::listingPatience * n);
            EXPECT_GE(asked[n] - asked.front(), waited) << n;
        }
        registration.reset();
        watcher.reset();
        QDBusConnection::disconnectFromBus(itemSide);
    }
}

// A watcher that comes later, restarts or leaves: each new one gets the item at once, however often; one
// that leaves takes its host along. Hosts coming and going are followed, and a host that comes gets a
// refused item registered again.
TEST_F(ItemRegistrationTest, FollowsTheWatcherAndItsHosts) {
    play({});
    watcher->stop();
    startItem();
    EXPECT_FALSE(registration->watcherPresent());
    EXPECT_EQ(registration->host(), app::HostPresence::absent);

    for (int start = 1; start <= 5; ++start) {
        SCOPED_TRACE(start);
        watcher->start();
        EXPECT_TRUE(standsAs(app::ItemStanding::listed, app::HostPresence::present));
        EXPECT_EQ(watcher->listed(), QStringList{itemService});
        EXPECT_EQ(watcher->asked().size(), start);
        watcher->stop();
        EXPECT_TRUE(settle([&] { return !registration->watcherPresent(); }));
        EXPECT_EQ(registration->host(), app::HostPresence::absent);
    }

    watcher->setManner({.refusals = 100});
    watcher->start();
    EXPECT_TRUE(standsAs(app::ItemStanding::refused, app::HostPresence::absent));
    watcher->setManner({.host = false});
    EXPECT_TRUE(standsAs(app::ItemStanding::refused, app::HostPresence::absent));
    watcher->setHost(true);
    EXPECT_TRUE(standsAs(app::ItemStanding::listed, app::HostPresence::present));
    watcher->setHost(false);
    EXPECT_TRUE(standsAs(app::ItemStanding::listed, app::HostPresence::absent));
}

// A watcher that drops the item, as one does when its host forgets its items, gets it again each time,
// however often in one life: its back-off counts only failures since it last listed the item.
TEST_F(ItemRegistrationTest, RegistersAgainAfterEveryDrop) {
    play({});
    startItem();
    ASSERT_TRUE(standsAs(app::ItemStanding::listed, app::HostPresence::present));
    for (qsizetype drop = 1; drop <= 10; ++drop) {
        SCOPED_TRACE(drop);
        watcher->drop();
        EXPECT_TRUE(settle([&] {
            return watcher->listed() == QStringList{itemService} &&
                   registration->standing() == app::ItemStanding::listed;
        }));
        EXPECT_EQ(watcher->asked().size(), drop + 1);
    }
}

// A watcher that holds its name but answers nothing (a hung panel) counts as absent once a call has gone
// unanswered a few seconds, not the bus's 25, and gets the item as soon as it answers again.
TEST_F(ItemRegistrationTest, ASilentWatcherCountsAsAbsentUntilItAnswers) {
    play({.answers = false});
    const auto started = std::chrono::steady_clock::now();
    startItem();
    EXPECT_TRUE(settle([&] { return !registration->watcherPresent(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    EXPECT_EQ(registration->host(), app::HostPresence::absent);

    watcher->setManner({});
    EXPECT_TRUE(standsAs(app::ItemStanding::listed, app::HostPresence::present));
    EXPECT_TRUE(registration->watcherPresent());
    EXPECT_EQ(watcher->listed(), QStringList{itemService});
}

} // namespace
} // namespace kestrava
