// The session's pairing: the window, the phone's request, the user's decision.
#include "agent-core/runtime/Log.hpp"
#include "agent-core/runtime/Sanitize.hpp"
#include "agent-core/session/PhoneName.hpp"
#include "agent-core/session/Session.hpp"
#include "platform/crypto/Random.hpp"
#include "platform/uuid/Uuid.hpp"
#include "protocol-kit/Pairing.hpp"

#include <algorithm>
#include <exception>

namespace kestrava {
namespace {

constexpr std::size_t secretLength = 32;
constexpr std::size_t maxLoggedId = 80;

} // namespace

PairingQR Session::openPairingWindow(Timestamp now) {
    Bytes secret = crypto::randomBytes(secretLength);
    std::string hash = Pairing::secretHash(secret);
    const Timestamp expires = now + pairingWindowLength;
    {
        const std::lock_guard held(lock_);
        open_ = OpenPairing{secret, hash, expires};
        pending_.reset();
    }
    send_(AgentOut{AgentOut::PairingOpen{std::move(hash), millisecondsSince1970(expires)}});
    log(LogLevel::info, "pairing window opened");
    return PairingQR{.v = 1,
                     .backendURL = backendURL_,
                     .deviceId = deviceId_,
                     .secret = std::move(secret),
                     .macPublicKey = macKey_.publicKey().x963(),
                     .macName = macName_};
}

Session::Gate Session::gate(Timestamp now, const PairingRequest& request) const {
    if (pending_) {
        return {Gate::Busy{}};
    }
    if (open_ && now < open_->expires && request.secretHash == open_->hash) {
        return {Gate::Window{*open_}};
    }
    return {Gate::None{}};
}

void Session::handlePairingRequest(const std::string& requestId, const PairingRequest& request) {
    const std::string loggedRequest = sanitize(requestId, maxLoggedId);
    const auto refuse = [&] { send_(AgentOut{AgentOut::PairingDecision{requestId, false, std::nullopt}}); };

    const Timestamp now = clock_();
    Gate verdict;
    {
        const std::lock_guard held(lock_);
        verdict = gate(now, request);
    }
    if (std::holds_alternative<Gate::None>(verdict.value)) {
        log(LogLevel::info,
            "pairing request " + loggedRequest + " denied (no window, expired, or hash mismatch)");
        refuse();
        return;
    }
    if (std::holds_alternative<Gate::Busy>(verdict.value)) {
        log(LogLevel::info, "pairing request " + loggedRequest + " denied (another request pending)");
        refuse();
        return;
    }
    const OpenPairing window = std::get<Gate::Window>(verdict.value).window;

    const std::optional<std::string> name = checkProof_(request, window.secret, deviceId_);
    if (!name) {
        log(LogLevel::info, "pairing request " + loggedRequest + " denied (bad proof)");
        {
            // One failed proof closes the window, but not a newer one opened meanwhile.
            const std::lock_guard held(lock_);
            if (open_ && open_->hash == window.hash) {
                open_.reset();
            }
        }
        refuse();
        return;
    }

    PendingPairing pending{
        .requestId = requestId,
        .phoneName = sanitizePhoneName(*name),
        .sas = Pairing::sas(macKey_.publicKey().x963(), request.phoneSignPub, request.phoneAgreePub),
        .signPub = request.phoneSignPub,
        .agreePub = request.phoneAgreePub};
    const Timestamp expires = std::min(now + pendingRequestLength, window.expires);
    // The window may have been cancelled, replaced or run out while the proof was checked: the request
    // is stored only into the window it proved, while that window is still open.
    const Timestamp storing = clock_();
    bool stored = false;
    {
        const std::lock_guard held(lock_);
        if (!pending_ && open_ && open_->hash == window.hash && storing < open_->expires) {
            pending_ = Pending{pending, expires};
            stored = true;
        }
    }
    if (!stored) {
        refuse();
        return;
    }
    std::function<void(const PendingPairing&)> callback;
    {
        const std::lock_guard held(lock_);
        callback = onPairingRequest_;
    }
    if (callback) {
        callback(pending);
    }
}

std::optional<Session::Pending> Session::pendingRequest() const {
    const std::lock_guard held(lock_);
    return pending_;
}

std::optional<Session::Pending> Session::takePending(const std::string& requestId) {
    if (!pending_ || pending_->request.requestId != requestId) {
        return std::nullopt;
    }
    std::optional<Pending> taken = std::exchange(pending_, std::nullopt);
    open_.reset();
    return taken;
}

PairingOutcome Session::decide(const std::string& requestId, bool approve) {
    std::optional<Pending> taken;
    {
        const std::lock_guard held(lock_);
        taken = takePending(requestId);
    }
    if (!taken) {
        return {PairingOutcome::Denied{PairingDenial::notPending}};
    }
    const PendingPairing& request = taken->request;
    const std::string loggedRequest = sanitize(request.requestId, maxLoggedId);
    if (!approve) {
        return deny(PairingDenial::userDenied, loggedRequest, request);
    }
    if (!(clock_() < taken->expires)) {
        return deny(PairingDenial::expired, loggedRequest, request);
    }
    if (state_->phones().size() >= maxPhones) {
        return deny(PairingDenial::phoneLimit, loggedRequest, request);
    }

    const std::string phoneId = uuid::randomLowercase();
    state_->upsert(PairedPhone{.phoneId = phoneId,
                               .name = request.phoneName,
                               .signPub = request.signPub,
                               .agreePub = request.agreePub,
                               .pairedAt = clock_(),
                               .lastUsed = std::nullopt});
    try {
        state_->save();
    } catch (const std::exception& error) {
        logError(std::string("state save failed: ") + error.what());
        state_->remove(phoneId);
        return deny(PairingDenial::saveFailed, loggedRequest, request);
    }
    log(LogLevel::info, "paired phone " + phoneId);
    send_(AgentOut{AgentOut::PairingDecision{request.requestId, true, phoneId}});
    phonesChanged();
    return {PairingOutcome::Approved{phoneId}};
}

PairingOutcome Session::deny(PairingDenial reason, const std::string& loggedRequestId,
                             const PendingPairing& request) {
    log(LogLevel::info, "pairing " + loggedRequestId + " denied (" + std::string(rawValue(reason)) + ")");
    send_(AgentOut{AgentOut::PairingDecision{request.requestId, false, std::nullopt}});
    return {PairingOutcome::Denied{reason}};
}

void Session::closePairingWindow() {
    const std::lock_guard held(lock_);
    open_.reset();
}

} // namespace kestrava
