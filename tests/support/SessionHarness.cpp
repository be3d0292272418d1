#include "tests/support/SessionHarness.hpp"

#include "agent-core/runtime/GlobalQueue.hpp"
#include "platform/url/Url.hpp"
#include "platform/uuid/Uuid.hpp"
#include "protocol-kit/Pairing.hpp"
#include "tests/support/TestFiles.hpp"

#include <boost/asio/use_future.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace kestrava::test {
namespace {

const Timestamp start = timestampFromSeconds(1'700'000'000);

bool completes(const AgentOut& message, const std::string& rid) {
    const auto* complete = std::get_if<AgentOut::Complete>(&message.value);
    return complete != nullptr && complete->rid == rid;
}

// Takes `hook` under `lock` and runs it outside.
void runOnce(std::mutex& lock, std::function<void()>& hook) {
    std::function<void()> taken;
    {
        const std::lock_guard held(lock);
        taken = std::exchange(hook, nullptr);
    }
    if (taken) {
        taken();
    }
}

} // namespace

SessionHarness::SessionHarness(std::optional<std::string> stateFileText)
    : stateFile_(folder_ / "state.json"), macKey_(crypto::P256PrivateKey::generate()), state_([&] {
          if (stateFileText) {
              writeText(stateFile_, *stateFileText);
          }
          return std::make_shared<StateStore>(stateFile_);
      }()),
      executor_(std::make_shared<Executor>(globalQueue().get_executor(), [] { return true; })) {
    shared_->now = start;
    shared_->status.agentVersion = "1.0 (1)";
    shared_->status.bootTime = start - std::chrono::hours(1);
    session_ = std::make_shared<Session>(
        std::string(deviceId), macKey_, state_, executor_,
        url::Url::parseReference("https://relay.example.com").value(), std::string(macName),
        [shared = shared_] {
            const std::lock_guard held(shared->lock);
            return shared->status;
        },
        [shared = shared_](const AgentOut& message) {
            {
                const std::lock_guard held(shared->lock);
                shared->sent.push_back(message);
            }
            shared->changed.notify_all();
        },
        [shared = shared_] {
            runOnce(shared->lock, shared->onClockRead);
            const std::lock_guard held(shared->lock);
            return shared->now;
        },
        [shared = shared_](const PairingRequest& request, ByteView secret, std::string_view deviceId) {
            runOnce(shared->lock, shared->onProofCheck);
            return Pairing::provenName(request, secret, deviceId);
        });
}

SessionHarness::~SessionHarness() {
    executor_->cancelAll(boost::asio::use_future).wait_for(patience);
    std::vector<std::string> started;
    {
        const std::lock_guard held(shared_->lock);
        started = startedJobs_;
    }
    for (const std::string& rid : started) {
        waitForComplete(rid);
    }
}

Timestamp SessionHarness::now() const {
    const std::lock_guard held(shared_->lock);
    return shared_->now;
}

void SessionHarness::advance(std::chrono::nanoseconds by) {
    const std::lock_guard held(shared_->lock);
    shared_->now += by;
}

void SessionHarness::onNextClockRead(std::function<void()> onRead) {
    const std::lock_guard held(shared_->lock);
    shared_->onClockRead = std::move(onRead);
}

void SessionHarness::onNextProofCheck(std::function<void()> onCheck) {
    const std::lock_guard held(shared_->lock);
    shared_->onProofCheck = std::move(onCheck);
}

void SessionHarness::setStatus(StatusSnapshot status) {
    const std::lock_guard held(shared_->lock);
    shared_->status = std::move(status);
}

SessionHarness::Phone SessionHarness::storePhone(std::string phoneId, std::optional<Bytes> signPub) {
    Phone phone{TestPhone(), phoneId.empty() ? uuid::randomLowercase() : std::move(phoneId)};
    state_->upsert(PairedPhone{.phoneId = phone.phoneId,
                               .name = "Phone",
                               .signPub = signPub.value_or(phone.keys.signPub()),
                               .agreePub = phone.keys.agreePub(),
                               .pairedAt = now(),
                               .lastUsed = std::nullopt});
    state_->save();
    return phone;
}

SignedCommand SessionHarness::command(const Phone& phone, const std::string& id, CommandKind kind,
                                      std::string cmd, std::int64_t timeoutSec) const {
    return phone.keys.command(id, kind, std::move(cmd), timeoutSec, now(), deviceId, phone.phoneId);
}

AgentIn SessionHarness::e2eFrom(const Phone& phone, const std::string& rid,
                                const SignedCommand& command) const {
    const auto key = phone.keys.sessionKey(macKey_.publicKey(), deviceId, phone.phoneId);
    return AgentIn{AgentIn::E2E{
        phone.phoneId, rid,
        phone.keys.seal(E2EPayload{E2EPayload::Command{command}}, key, deviceId, phone.phoneId)}};
}

void SessionHarness::deliver(const AgentIn& message) {
    const std::optional<Session::Job> job = session_->handle(message);
    if (!job) {
        return;
    }
    {
        const std::lock_guard held(shared_->lock);
        startedJobs_.push_back(std::get<AgentIn::E2E>(message.value).rid);
    }
    (*job)();
}

std::vector<AgentOut> SessionHarness::sent() const {
    const std::lock_guard held(shared_->lock);
    return shared_->sent;
}

bool SessionHarness::waitUntilSent(const std::function<bool(const std::vector<AgentOut>&)>& done,
                                   std::chrono::milliseconds limit) const {
    std::unique_lock held(shared_->lock);
    return shared_->changed.wait_for(held, limit, [&] { return done(shared_->sent); });
}

bool SessionHarness::waitForComplete(const std::string& rid, std::chrono::milliseconds limit) const {
    return waitUntilSent(
        [&](const std::vector<AgentOut>& sent) {
            return std::any_of(sent.begin(), sent.end(),
                               [&](const AgentOut& m) { return completes(m, rid); });
        },
        limit);
}

std::vector<SessionHarness::Reply> SessionHarness::repliesOn(const Phone& phone,
                                                             const std::string& rid) const {
    const auto key = phone.keys.sessionKey(macKey_.publicKey(), deviceId, phone.phoneId);
    std::vector<Reply> replies;
    for (const AgentOut& message : sent()) {
        if (completes(message, rid)) {
            replies.push_back({});
        } else if (const auto* e2e = std::get_if<AgentOut::E2E>(&message.value); e2e && e2e->rid == rid) {
            EXPECT_EQ(e2e->phoneId, phone.phoneId);
            replies.push_back({phone.keys.open(e2e->box, key, deviceId, phone.phoneId)});
        }
    }
    return replies;
}

void SessionHarness::expectClosedExchange(const std::vector<Reply>& replies, const std::string& rid) {
    std::size_t finals = 0;
    std::size_t completions = 0;
    for (const Reply& reply : replies) {
        EXPECT_EQ(completions, 0u) << "a message after the completion of " << rid;
        if (reply.isComplete()) {
            ++completions;
        } else if (std::holds_alternative<E2EPayload::Out>(reply.payload->value)) {
            EXPECT_EQ(finals, 0u) << "output after the result on " << rid;
        } else {
            EXPECT_TRUE(std::holds_alternative<E2EPayload::Done>(reply.payload->value) ||
                        std::holds_alternative<E2EPayload::Rejected>(reply.payload->value))
                << "a reply that is not output, a result or a refusal on " << rid;
            ++finals;
        }
    }
    EXPECT_LE(finals, 1u) << rid;
    EXPECT_EQ(completions, 1u) << rid;
}

} // namespace kestrava::test
