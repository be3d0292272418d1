#include "app/pairing/PairingViewModel.hpp"

#include "agent-core/control/PhoneLimit.hpp"
#include "app/state/AppError.hpp"

#include <cmath>

namespace kestrava::app {
namespace {

template<class Wanted>
const Wanted* phaseIs(const PairingViewModel::Phase& phase) {
    return std::get_if<Wanted>(&phase);
}

} // namespace

std::shared_ptr<PairingViewModel> PairingViewModel::make(std::shared_ptr<PairingService> service,
                                                         std::shared_ptr<PairingAttempts> attempts,
                                                         Clock clock) {
    return std::shared_ptr<PairingViewModel>(
        new PairingViewModel(std::move(service), std::move(attempts), std::move(clock)));
}

PairingViewModel::PairingViewModel(std::shared_ptr<PairingService> service,
                                   std::shared_ptr<PairingAttempts> attempts, Clock clock)
    : service_(std::move(service)), attempts_(std::move(attempts)), clock_(std::move(clock)), now_(clock_()) {
}

void PairingViewModel::setPhase(Phase phase) {
    if (phase_ != phase) {
        phase_ = std::move(phase);
        emit changed();
    }
}

void PairingViewModel::refreshNow() {
    const Timestamp now = clock_();
    if (now != now_) {
        now_ = now;
        emit changed();
    }
}

bool PairingViewModel::isBusy() const {
    return phaseIs<ShowingQR>(phase_) || phaseIs<Approving>(phase_) || phaseIs<Deciding>(phase_) ||
           phaseIs<Opening>(phase_);
}

QString PairingViewModel::countdown() const {
    const auto* qr = phaseIs<ShowingQR>(phase_);
    if (!qr) {
        return QStringLiteral("0:00");
    }
    const double left = std::chrono::duration<double>(qr->expiresAt - now_).count();
    const long long seconds = std::max(0LL, static_cast<long long>(std::ceil(left)));
    return QString::asprintf("%lld:%02lld", seconds / 60, seconds % 60);
}

QCoro::Task<> PairingViewModel::open(int phoneCount, std::optional<PendingPairingInfo> ignoring) {
    const auto self = shared_from_this();
    const int generation = ++generation_;
    refreshNow();
    if (phoneCount >= maxPairedPhones) {
        setPhase(LimitReached{});
        co_return;
    }
    attempt_ = attempts_->begin();
    const int attempt = attempt_;
    ignoredRequestId_ = ignoring ? std::optional(ignoring->requestId) : std::nullopt;
    setPhase(Opening{});

    auto opening = service_->openPairing();
    const auto window = co_await opening;
    if (!window) {
        if (generation_ == generation) {
            setPhase(Failed{message(window.error())});
        }
        co_return;
    }
    if (generation_ != generation) {
        // Abandoned meanwhile: withdraw the window, unless a newer attempt has replaced it already.
        if (attempts_->isCurrent(attempt)) {
            auto cancelling = service_->cancelPairing();
            co_await cancelling;
        }
        co_return;
    }
    refreshNow();
    windowConnection_ = window.value().connection;
    setPhase(ShowingQR{window.value().link, window.value().expiresAt});
    if (currentPending) {
        if (const auto pending = currentPending()) {
            observe(pending);
        }
    }
}

void PairingViewModel::observe(const std::optional<PendingPairingInfo>& pending) {
    refreshNow();
    if (phaseIs<ShowingQR>(phase_)) {
        if (pending && pending->requestId != ignoredRequestId_) {
            setPhase(Approving{ApproveViewModel(*pending, now_)});
        }
    } else if (const auto* approving = phaseIs<Approving>(phase_)) {
        if (!pending || pending->requestId != approving->card.requestId) {
            const bool late = now_ >= approving->card.deadline;
            setPhase(
                Result{{PairingResult::Denied{late ? PairingDenial::expired : PairingDenial::notPending}}});
        }
    }
}

void PairingViewModel::agentChanged() {
    const bool ownsTheWindow = attempts_->isCurrent(attempt_);
    if ((phaseIs<Opening>(phase_) || phaseIs<ShowingQR>(phase_) || phaseIs<Approving>(phase_)) &&
        !ownsTheWindow) {
        // Another attempt's open replaced this one's window.
        ++generation_;
        setPhase(Expired{});
    } else if (phaseIs<ShowingQR>(phase_) && windowClosedByAgent && windowClosedByAgent(windowConnection_)) {
        ++generation_;
        setPhase(Expired{});
    }
}

QCoro::Task<> PairingViewModel::tick() {
    const auto self = shared_from_this();
    refreshNow();
    agentChanged();
    if (const auto* approving = phaseIs<Approving>(phase_)) {
        if (now_ >= approving->card.deadline) {
            setPhase(Result{{PairingResult::Denied{PairingDenial::expired}}});
        }
    } else if (const auto* qr = phaseIs<ShowingQR>(phase_)) {
        if (now_ >= qr->expiresAt) {
            setPhase(Expired{});
            ++generation_;
            auto cancelling = cancelIfCurrent();
            co_await cancelling;
        }
    }
}

QCoro::Task<> PairingViewModel::decide(bool approve) {
    const auto self = shared_from_this();
    refreshNow();
    const auto* approving = phaseIs<Approving>(phase_);
    if (!approving) {
        co_return;
    }
    const ApproveViewModel card = approving->card;
    if (now_ >= card.deadline) {
        setPhase(Result{{PairingResult::Denied{PairingDenial::expired}}});
        co_return;
    }
    setPhase(Deciding{card, approve});
    std::set<std::string> knownIds;
    for (const PhoneInfo& phone : currentPhones ? currentPhones() : std::vector<PhoneInfo>{}) {
        knownIds.insert(phone.phoneId);
    }
    const Timestamp sentAt = clock_();

    auto deciding = service_->decide(card.requestId, approve);
    const auto outcome = co_await deciding;
    if (!outcome) {
        setPhase(DecisionUnknown{card});
        // Only an approval can have paired a phone; a lost denial stays unknown.
        if (approve) {
            auto settling = settleLostApproval(card, std::move(knownIds), sentAt);
            co_await settling;
        }
        co_return;
    }
    if (std::holds_alternative<PairingOutcome::Approved>(outcome.value().value)) {
        setPhase(Result{{PairingResult::Approved{card.phoneName}}});
        if (onApproved) {
            onApproved();
        }
    } else {
        setPhase(
            Result{{PairingResult::Denied{std::get<PairingOutcome::Denied>(outcome.value().value).denial}}});
    }
}

QCoro::Task<> PairingViewModel::settleLostApproval(ApproveViewModel card, std::set<std::string> knownIds,
                                                   Timestamp sentAt) {
    auto listing = service_->phones();
    const auto phones = co_await listing;
    if (!phones || !phaseIs<DecisionUnknown>(phase_)) {
        co_return;
    }
    // A phone paired before the decision went out, or already listed, is not the one the card asked for.
    const Timestamp earliest = sentAt - std::chrono::seconds(1);
    for (const PhoneInfo& phone : phones.value()) {
        if (knownIds.contains(phone.phoneId) || phone.pairedAt < earliest) {
            continue;
        }
        const QString name = cutPhoneName(QString::fromStdString(phone.name));
        if (name == card.phoneName) {
            setPhase(Result{{PairingResult::Approved{name}}});
            if (onApproved) {
                onApproved();
            }
            co_return;
        }
    }
}

QCoro::Task<> PairingViewModel::close() {
    const auto self = shared_from_this();
    const bool wasBusy = isBusy();
    ++generation_;
    setPhase(Idle{});
    if (wasBusy) {
        auto cancelling = cancelIfCurrent();
        co_await cancelling;
    }
}

QCoro::Task<> PairingViewModel::cancelIfCurrent() {
    if (attempts_->isCurrent(attempt_)) {
        auto cancelling = service_->cancelPairing();
        co_await cancelling;
    }
}

} // namespace kestrava::app
