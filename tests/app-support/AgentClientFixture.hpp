#pragma once

#include "app/link/AgentClient.hpp"
#include "tests/app-support/FakeAgentTransport.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"

#include <gtest/gtest.h>

namespace kestrava::test {

// An AgentClient over the fake transport and announcements, on a virtual clock. At the end every call
// still waiting runs into its time-out and the client ends, so no task is left suspended.
class AgentClientFixture : public testing::Test {
protected:
    ~AgentClientFixture() override {
        scheduler.advance(std::chrono::minutes(1));
        client.reset();
        scheduler.runPosted();
    }

    // Starts `task` and lets it run as far as it can without the clock moving.
    template<class T>
    Started<T> start(QCoro::Task<T> task) {
        Started<T> started(std::move(task));
        scheduler.runPosted();
        return started;
    }

    // The result of a task that must have ended by now.
    template<class T>
    const T& ended(const Started<T>& started) {
        scheduler.runPosted();
        EXPECT_TRUE(started.done());
        return started.result();
    }

    SentMessage& last() { return transport->sent.back(); }

    VirtualScheduler scheduler;
    std::shared_ptr<FakeAgentTransport> transport = std::make_shared<FakeAgentTransport>(scheduler);
    std::shared_ptr<FakeNotifications> notifications = std::make_shared<FakeNotifications>();
    std::shared_ptr<app::AgentClient> client = app::AgentClient::make(transport, notifications, scheduler);
};

} // namespace kestrava::test
