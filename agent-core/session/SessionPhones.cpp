// The session's phone list, revokes and status pushes.
#include "agent-core/runtime/Log.hpp"
#include "agent-core/runtime/Sanitize.hpp"
#include "agent-core/session/Session.hpp"
#include "platform/uuid/Uuid.hpp"
#include "protocol-kit/Direction.hpp"
#include "protocol-kit/E2E.hpp"

#include <algorithm>
#include <exception>
#include <iterator>

namespace kestrava {
namespace {

constexpr std::size_t maxLoggedId = 80;

using IdSet = std::set<std::string>;

IdSet difference(const IdSet& a, const IdSet& b) {
    IdSet result;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(result, result.end()));
    return result;
}

IdSet intersection(const IdSet& a, const IdSet& b) {
    IdSet result;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::inserter(result, result.end()));
    return result;
}

IdSet storedPhoneIds(const StateStore& state) {
    IdSet ids;
    for (const PairedPhone& phone : state.phones()) {
        ids.insert(phone.phoneId);
    }
    return ids;
}

} // namespace

void Session::phonesChanged() {
    std::function<void()> callback;
    {
        const std::lock_guard held(lock_);
        callback = onPhonesChanged_;
    }
    if (callback) {
        callback();
    }
}

void Session::forgetPhone(const std::string& phoneId) {
    state_->remove(phoneId);
    {
        const std::lock_guard held(lock_);
        keys_.erase(phoneId);
    }
    try {
        state_->save();
    } catch (const std::exception& error) {
        logError(std::string("state save failed: ") + error.what());
    }
    phonesChanged();
}

void Session::revoke(const std::string& phoneId) {
    forgetPhone(phoneId);
    {
        const std::lock_guard held(lock_);
        pendingRevokes_.insert(phoneId);
    }
    send_(AgentOut{AgentOut::Revoke{phoneId}});
    log(LogLevel::info, "revoked phone " + sanitize(phoneId, maxLoggedId));
}

void Session::resendQueuedRevokes() {
    IdSet queued;
    {
        const std::lock_guard held(lock_);
        queued = pendingRevokes_;
    }
    if (queued.empty()) {
        return;
    }
    log(LogLevel::info, "re-sending " + std::to_string(queued.size()) + " queued revoke(s)");
    for (const std::string& phoneId : queued) {
        send_(AgentOut{AgentOut::Revoke{phoneId}});
    }
}

void Session::phoneRemoved(const std::string& phoneId) {
    log(LogLevel::info, "backend removed phone " + sanitize(phoneId, maxLoggedId));
    {
        const std::lock_guard held(lock_);
        pendingRevokes_.erase(phoneId);
    }
    if (storedPhoneIds(*state_).contains(phoneId)) {
        forgetPhone(phoneId);
    }
}

void Session::reconcile(const std::vector<std::string>& relayPhoneIds) {
    const IdSet relay(relayPhoneIds.begin(), relayPhoneIds.end());
    const IdSet local = storedPhoneIds(*state_);

    const IdSet stale = difference(local, relay);
    if (!stale.empty()) {
        log(LogLevel::info, "pruning " + std::to_string(stale.size()) + " phone(s) unknown to backend");
        for (const std::string& phoneId : stale) {
            forgetPhone(phoneId);
        }
    }

    IdSet extra = difference(relay, local);
    IdSet queued;
    {
        // Queued revokes the relay no longer lists are done.
        const std::lock_guard held(lock_);
        pendingRevokes_ = intersection(pendingRevokes_, relay);
        queued = pendingRevokes_;
    }
    if (state_->loadFailed()) {
        // The stored list may be incomplete: only phones this computer revoked itself go again.
        const IdSet withheld = difference(extra, queued);
        if (!withheld.empty()) {
            logError("state.json was unreadable: not revoking " + std::to_string(withheld.size()) +
                     " relay phone(s) missing locally");
        }
        extra = intersection(extra, queued);
    }
    if (!extra.empty()) {
        log(LogLevel::info, "revoking " + std::to_string(extra.size()) +
                                " phone(s) the relay still has but this Mac does not");
        for (const std::string& phoneId : extra) {
            send_(AgentOut{AgentOut::Revoke{phoneId}});
        }
    }
}

bool Session::statusNeedsPush(const StatusSnapshot& snapshot) const {
    return !lastStatus_ || !StatusSnapshot::sameForPush(lastStatus_->snapshot, snapshot) ||
           clock_() - lastStatus_->at >= statusRepeatInterval;
}

void Session::refreshStatus() {
    const StatusSnapshot snapshot = statusProvider_();
    bool due = false;
    {
        const std::lock_guard held(lock_);
        due = statusNeedsPush(snapshot);
    }
    if (due) {
        pushStatus(snapshot);
    }
}

void Session::pushStatus(const StatusSnapshot& snapshot) {
    {
        const std::lock_guard held(lock_);
        lastStatus_ = LastStatus{snapshot, clock_()};
    }
    const E2EPayload payload{E2EPayload::Status{snapshot}};
    for (const PairedPhone& phone : state_->phones()) {
        const std::optional<crypto::SymmetricKey> key = this->key(phone);
        if (!key) {
            continue;
        }
        Bytes box;
        try {
            box = E2E::seal(payload, *key, Direction::m2p, deviceId_, phone.phoneId);
        } catch (const std::exception&) {
            continue;
        }
        const std::string rid = uuid::randomLowercase();
        send_(AgentOut{AgentOut::E2E{phone.phoneId, rid, std::move(box)}});
        complete(rid);
    }
}

} // namespace kestrava
