#include "tests/app-support/AgentClientFixture.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::AgentEvent;
using Milliseconds = std::chrono::milliseconds;

struct Heard {
    Milliseconds at;
    AgentEvent event;
    bool operator==(const Heard&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Heard& heard) {
    return out << (heard.event == AgentEvent::changed ? "changed" : "pairingRequest") << "@"
               << heard.at.count();
}

class AgentEventsTest : public test::AgentClientFixture {
protected:
    // Reads the stream as the application does, noting when each event arrives, until it is finished.
    static QCoro::Task<> listen(std::shared_ptr<app::BoundedChannel<AgentEvent>> events,
                                std::shared_ptr<std::vector<Heard>> heard, test::VirtualScheduler* scheduler,
                                std::shared_ptr<bool> finished) {
        while (const auto event = co_await events->next()) {
            heard->push_back({std::chrono::duration_cast<Milliseconds>(scheduler->elapsed()), *event});
        }
        *finished = true;
    }

    // Announces each event at its time from now.
    void announce(const std::vector<std::pair<Milliseconds, AgentEvent>>& script) {
        const auto start = scheduler.elapsed();
        for (const auto& [at, event] : script) {
            scheduler.advance(start + at - scheduler.elapsed());
            notifications->announce(event);
        }
    }

    std::shared_ptr<std::vector<Heard>> heard = std::make_shared<std::vector<Heard>>();
    std::shared_ptr<bool> finished = std::make_shared<bool>(false);
};

// A burst becomes at most one pairing request followed by at most one change, 200 ms after its last
// announcement; each announcement pushes the delivery back.
TEST_F(AgentEventsTest, BurstsAreCoalescedAfterTheirLastAnnouncement) {
    struct Row {
        std::string what;
        std::vector<std::pair<Milliseconds, AgentEvent>> script;
        std::vector<Heard> expected; // times from the first announcement
    };
    std::vector<std::pair<Milliseconds, AgentEvent>> everyOneAndAHalfTenths;
    for (Milliseconds at = 0ms; at <= 1050ms; at += 150ms) {
        everyOneAndAHalfTenths.emplace_back(at, AgentEvent::changed);
    }
    const std::vector<Row> table{
        {"three changes",
         {{0ms, AgentEvent::changed}, {50ms, AgentEvent::changed}, {100ms, AgentEvent::changed}},
         {{300ms, AgentEvent::changed}}},
        {"a change, then a request",
         {{0ms, AgentEvent::changed}, {100ms, AgentEvent::pairingRequest}, {150ms, AgentEvent::changed}},
         {{350ms, AgentEvent::pairingRequest}, {350ms, AgentEvent::changed}}},
        {"a request alone", {{0ms, AgentEvent::pairingRequest}}, {{200ms, AgentEvent::pairingRequest}}},
        {"150 ms apart for a second", everyOneAndAHalfTenths, {{1250ms, AgentEvent::changed}}},
        {"two bursts",
         {{0ms, AgentEvent::changed}, {200ms, AgentEvent::pairingRequest}},
         {{200ms, AgentEvent::changed}, {400ms, AgentEvent::pairingRequest}}},
    };
    listen(client->events(), heard, &scheduler, finished);
    for (const auto& row : table) {
        heard->clear();
        const auto began = std::chrono::duration_cast<Milliseconds>(scheduler.elapsed());
        announce(row.script);
        scheduler.advance(10s);
        std::vector<Heard> expected;
        for (const auto& [at, event] : row.expected) {
            expected.push_back({began + at, event});
        }
        EXPECT_EQ(*heard, expected) << row.what;
    }
}

// A reader that falls behind gets the newest 8; when the client ends, a pending delivery is dropped and
// the stream finishes.
TEST_F(AgentEventsTest, ALaggingReaderGetsTheNewestEightAndTheEndFinishesTheStream) {
    for (int burst = 0; burst < 6; ++burst) {
        notifications->announce(AgentEvent::pairingRequest);
        notifications->announce(AgentEvent::changed);
        scheduler.advance(1s);
    }
    listen(client->events(), heard, &scheduler, finished);
    scheduler.runPosted();
    ASSERT_EQ(heard->size(), 8u);
    for (std::size_t i = 0; i < heard->size(); ++i) {
        EXPECT_EQ((*heard)[i].event, i % 2 == 0 ? AgentEvent::pairingRequest : AgentEvent::changed);
    }

    heard->clear();
    notifications->announce(AgentEvent::changed);
    scheduler.advance(100ms);
    client.reset();
    scheduler.advance(1s);
    EXPECT_TRUE(heard->empty());
    EXPECT_TRUE(*finished);
    EXPECT_TRUE(notifications->handlers.empty());
}

} // namespace
} // namespace kestrava
