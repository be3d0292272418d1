#include "agent-core/session/Session.hpp"

#include "agent-core/runtime/Log.hpp"
#include "agent-core/runtime/Sanitize.hpp"
#include "protocol-kit/CommandVerifier.hpp"
#include "protocol-kit/Direction.hpp"
#include "protocol-kit/E2E.hpp"
#include "protocol-kit/VerifyError.hpp"

#include <algorithm>
#include <exception>
#include <string_view>
#include <utility>

namespace kestrava {
namespace {

// Identifiers from a phone or the relay, as they may enter a log line.
constexpr std::size_t maxLoggedId = 80;

std::string exitText(const ExecResult& result) {
    return result.exitCode ? std::to_string(*result.exitCode) : "signal";
}

// The state's nonce register, recording with each fresh nonce that the phone `usedBy` was used.
class UseRecordingNonces final : public NonceStore {
public:
    UseRecordingNonces(std::shared_ptr<StateStore> state, std::string usedBy)
        : state_(std::move(state)), usedBy_(std::move(usedBy)) {}

    bool checkAndRecord(const std::string& nonce, Timestamp now) override {
        return state_->checkAndRecord(nonce, now, usedBy_);
    }

private:
    const std::shared_ptr<StateStore> state_;
    const std::string usedBy_;
};

} // namespace

Session::Session(std::string deviceId, crypto::P256PrivateKey macKey, std::shared_ptr<StateStore> state,
                 std::shared_ptr<Executor> executor, url::Url backendURL, std::string macName,
                 StatusProvider statusProvider, Send send, Clock clock, ProofCheck checkProof)
    : deviceId_(std::move(deviceId)), macKey_(std::move(macKey)), state_(std::move(state)),
      executor_(std::move(executor)), backendURL_(std::move(backendURL)), macName_(std::move(macName)),
      statusProvider_(std::move(statusProvider)), send_(std::move(send)), clock_(std::move(clock)),
      checkProof_(std::move(checkProof)) {}

void Session::setOnPairingRequest(std::function<void(const PendingPairing&)> callback) {
    const std::lock_guard held(lock_);
    onPairingRequest_ = std::move(callback);
}

void Session::setOnPhonesChanged(std::function<void()> callback) {
    const std::lock_guard held(lock_);
    onPhonesChanged_ = std::move(callback);
}

std::optional<Session::Job> Session::handle(const AgentIn& message) {
    struct Dispatch {
        Session& session;
        std::optional<Job> operator()(const AgentIn::E2E& e2e) const {
            return session.handleE2E(e2e.phoneId, e2e.rid, e2e.box);
        }
        std::optional<Job> operator()(const AgentIn::PairingRequest& request) const {
            session.handlePairingRequest(request.requestId, request.request);
            return std::nullopt;
        }
        std::optional<Job> operator()(const AgentIn::PhoneRemoved& removed) const {
            session.phoneRemoved(removed.phoneId);
            return std::nullopt;
        }
        std::optional<Job> operator()(const AgentIn::Phones& phones) const {
            session.reconcile(phones.phoneIds);
            return std::nullopt;
        }
    };
    return std::visit(Dispatch{*this}, message.value);
}

std::optional<Session::Job> Session::handleE2E(const std::string& phoneId, const std::string& rid,
                                               const Bytes& box) {
    const std::string loggedPhone = sanitize(phoneId, maxLoggedId);
    const std::vector<PairedPhone> phones = state_->phones();
    const auto phone = std::find_if(phones.begin(), phones.end(),
                                    [&](const PairedPhone& stored) { return stored.phoneId == phoneId; });
    const std::optional<crypto::SymmetricKey> key = phone == phones.end() ? std::nullopt : this->key(*phone);
    if (!key) {
        log(LogLevel::info, "e2e from unpaired phone " + loggedPhone + " ignored");
        complete(rid);
        return std::nullopt;
    }

    std::optional<SignedCommand> command;
    try {
        E2EPayload payload = E2E::open(box, *key, Direction::p2m, deviceId_, phoneId);
        if (auto* carried = std::get_if<E2EPayload::Command>(&payload.value)) {
            command = std::move(carried->command);
        }
    } catch (const std::exception&) {
        // Not opened: handled like a box that holds no command.
    }
    if (!command) {
        log(LogLevel::info, "e2e from " + loggedPhone + ": undecryptable or not a command");
        complete(rid);
        return std::nullopt;
    }
    const auto reject = [&](const std::string& reason) {
        sealAndSend(E2EPayload{E2EPayload::Rejected{command->id, reason}}, *key, phoneId, rid);
        complete(rid);
    };

    const auto signingKey = crypto::P256PublicKey::fromX963(phone->signPub);
    if (!signingKey) {
        reject("notPaired");
        return std::nullopt;
    }
    const std::string loggedId = sanitize(command->id, maxLoggedId);
    const auto refuse = [&](const VerifyError& error) {
        log(LogLevel::info, "rejected command " + loggedId + " from " + loggedPhone + ": " + error.reason());
        reject(error.reason());
    };
    // A shell's argument ends at the first NUL: only a prefix of what was signed would run.
    const bool cutShort = command->kind == CommandKind::exec && command->cmd.find('\0') != std::string::npos;
    const Timestamp now = clock_();
    // The phone's use is recorded in the write that makes the nonce durable, not in a write of its own.
    const bool recordUse = !cutShort && isLastUseDue(phoneId, now);
    try {
        const std::shared_ptr<NonceStore> nonces = recordUse
                                                       ? std::make_shared<UseRecordingNonces>(state_, phoneId)
                                                       : std::shared_ptr<NonceStore>(state_);
        CommandVerifier(deviceId_, phoneId, *signingKey, nonces).verify(*command, now);
    } catch (const VerifyError& error) {
        refuse(error);
        return std::nullopt;
    }
    if (cutShort) {
        refuse(VerifyError::malformed());
        return std::nullopt;
    }
    if (recordUse) {
        lastUseRecorded(phoneId, now);
    }

    std::string jobKey = phoneId + "/" + command->id;
    if (command->kind == CommandKind::cancel) {
        log(LogLevel::info, "cancel " + loggedId + " from " + loggedPhone);
        executor_->cancel(jobKey);
        complete(rid);
        return std::nullopt;
    }
    log(LogLevel::info, "exec " + loggedId + " from " + loggedPhone + " timeout " +
                            std::to_string(command->timeoutSec) + "s");
    return execJob(std::move(jobKey), std::move(*command), loggedId, *key, phoneId, rid);
}

Session::Job Session::execJob(std::string jobKey, SignedCommand command, std::string loggedId,
                              crypto::SymmetricKey key, std::string phoneId, std::string rid) {
    // The key travels with the job, so that its replies still go out if the phone is forgotten meanwhile.
    return [self = shared_from_this(), jobKey = std::move(jobKey), command = std::move(command),
            loggedId = std::move(loggedId), key, phoneId = std::move(phoneId), rid = std::move(rid)] {
        const auto reply = [self, key, phoneId, rid](const E2EPayload& payload) {
            self->sealAndSend(payload, key, phoneId, rid);
        };
        auto onOutput = [reply, id = command.id](std::string_view stream, std::string_view text) {
            try {
                reply(E2EPayload{E2EPayload::Out{id, std::string(stream), std::string(text)}});
            } catch (...) {
                // A chunk that cannot be sent is lost; the reader goes on.
            }
        };
        auto finished = [self, reply, id = command.id, loggedId, rid](std::exception_ptr failure,
                                                                      ExecResult result) {
            try {
                if (!failure) {
                    log(LogLevel::info, "done " + loggedId + " exit " + exitText(result) + " " +
                                            std::to_string(result.durationMs) + "ms");
                    reply(E2EPayload{E2EPayload::Done{id, result.exitCode, result.durationMs,
                                                      result.truncated, result.timedOut}});
                } else {
                    try {
                        std::rethrow_exception(failure);
                    } catch (const ExecError& refused) {
                        reply(E2EPayload{E2EPayload::Rejected{id, refused.what()}});
                    }
                }
            } catch (...) {
                // Whatever failed, the exchange is still closed.
            }
            self->complete(rid);
        };
        self->executor_->run(jobKey, command.cmd, command.timeoutSec, std::move(onOutput),
                             std::move(finished));
    };
}

std::optional<crypto::SymmetricKey> Session::key(const PairedPhone& phone) {
    {
        const std::lock_guard held(lock_);
        if (const auto cached = keys_.find(phone.phoneId); cached != keys_.end()) {
            return cached->second;
        }
    }
    const auto agreementKey = crypto::P256PublicKey::fromX963(phone.agreePub);
    if (!agreementKey) {
        return std::nullopt;
    }
    crypto::SymmetricKey derived;
    try {
        derived = E2E::deriveKey(macKey_.sharedSecret(*agreementKey), deviceId_, phone.phoneId);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const std::lock_guard held(lock_);
    keys_[phone.phoneId] = derived;
    return derived;
}

void Session::sealAndSend(const E2EPayload& payload, const crypto::SymmetricKey& key,
                          const std::string& phoneId, const std::string& rid) {
    Bytes box;
    try {
        box = E2E::seal(payload, key, Direction::m2p, deviceId_, phoneId);
    } catch (const std::exception&) {
        return;
    }
    send_(AgentOut{AgentOut::E2E{phoneId, rid, std::move(box)}});
}

bool Session::isLastUseDue(const std::string& phoneId, Timestamp now) {
    const std::lock_guard held(lock_);
    const auto recorded = lastUsedSaved_.find(phoneId);
    return recorded == lastUsedSaved_.end() || now - recorded->second >= lastUsedWriteInterval;
}

void Session::lastUseRecorded(const std::string& phoneId, Timestamp at) {
    const std::lock_guard held(lock_);
    lastUsedSaved_[phoneId] = at;
}

void Session::complete(const std::string& rid) {
    send_(AgentOut{AgentOut::Complete{rid}});
}

} // namespace kestrava
