#pragma once

#include "agent-core/control/PendingPairingInfo.hpp"
#include "agent-core/control/PhoneInfo.hpp"
#include "app/pairing/ApproveViewModel.hpp"
#include "app/pairing/PairingResult.hpp"
#include "app/pairing/PairingService.hpp"
#include "app/state/PairingAttempts.hpp"
#include "platform/time/Timestamp.hpp"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <variant>
#include <vector>

namespace kestrava::app {

// One attempt to pair a phone, from the agent's pairing window shown as a QR code, through the approval
// card with its code, to the result. Late answers of an abandoned attempt are recognised by a generation
// counter; the application-wide attempt decides which model may still touch the agent's one window.
// Lives on the interface thread; `changed` follows every change of the phase or of the time it shows.
class PairingViewModel final : public QObject, public std::enable_shared_from_this<PairingViewModel> {
    Q_OBJECT

public:
    struct Idle {
        bool operator==(const Idle&) const = default;
    };
    struct Opening {
        bool operator==(const Opening&) const = default;
    };
    struct ShowingQR {
        std::string qr;
        Timestamp expiresAt;
        bool operator==(const ShowingQR&) const = default;
    };
    struct Approving {
        ApproveViewModel card;
        bool operator==(const Approving&) const = default;
    };
    struct Deciding {
        ApproveViewModel card;
        bool approve;
        bool operator==(const Deciding&) const = default;
    };
    struct Result {
        PairingResult result;
        bool operator==(const Result&) const = default;
    };
    struct DecisionUnknown {
        ApproveViewModel card;
        bool operator==(const DecisionUnknown&) const = default;
    };
    struct Failed {
        QString message;
        bool operator==(const Failed&) const = default;
    };
    struct Expired {
        bool operator==(const Expired&) const = default;
    };
    struct LimitReached {
        bool operator==(const LimitReached&) const = default;
    };
    using Phase = std::variant<Idle, Opening, ShowingQR, Approving, Deciding, Result, DecisionUnknown, Failed,
                               Expired, LimitReached>;

    using Clock = std::function<Timestamp()>;

    static std::shared_ptr<PairingViewModel> make(std::shared_ptr<PairingService> service,
                                                  std::shared_ptr<PairingAttempts> attempts,
                                                  Clock clock = wallClockNow);

    // Hooks the owner installs.
    std::function<void()> onApproved;
    std::function<std::optional<PendingPairingInfo>()> currentPending;
    std::function<std::vector<PhoneInfo>()> currentPhones;
    // True once the agent has certainly closed a window opened over connection `connection`: monitoring
    // paused, or that connection gone.
    std::function<bool(int connection)> windowClosedByAgent;

    const Phase& phase() const noexcept { return phase_; }
    Timestamp now() const noexcept { return now_; }
    // An attempt is under way with the agent: opening, QR shown, card shown or decision sent.
    bool isBusy() const;
    // The QR code's remaining time as "m:ss"; "0:00" in every other phase.
    QString countdown() const;

    // A new attempt: `phoneCount` phones are paired, and `ignoring` was already waiting (it never becomes
    // this attempt's card).
    QCoro::Task<> open(int phoneCount, std::optional<PendingPairingInfo> ignoring);
    // The request waiting for a decision changed.
    void observe(const std::optional<PendingPairingInfo>& pending);
    // Once a second while shown.
    QCoro::Task<> tick();
    // The agent's state changed: a QR code whose window the agent closed, or that another attempt took
    // over, is shown as run out.
    void agentChanged();
    QCoro::Task<> decide(bool approve);
    // The attempt is abandoned.
    QCoro::Task<> close();

signals:
    void changed();

private:
    PairingViewModel(std::shared_ptr<PairingService> service, std::shared_ptr<PairingAttempts> attempts,
                     Clock clock);

    void setPhase(Phase phase);
    void refreshNow();
    // Closes the agent's window, unless a newer attempt owns it by now.
    QCoro::Task<> cancelIfCurrent();
    QCoro::Task<> settleLostApproval(ApproveViewModel card, std::set<std::string> knownIds, Timestamp sentAt);

    const std::shared_ptr<PairingService> service_;
    const std::shared_ptr<PairingAttempts> attempts_;
    const Clock clock_;
    Phase phase_ = Idle{};
    Timestamp now_;
    std::optional<std::string> ignoredRequestId_;
    int generation_ = 0;
    int attempt_ = 0;          // this model's application-wide attempt
    int windowConnection_ = 0; // the connection that opened the window shown
};

} // namespace kestrava::app
