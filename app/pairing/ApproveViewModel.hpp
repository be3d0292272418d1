#pragma once

#include "agent-core/control/PendingPairingInfo.hpp"
#include "platform/time/Timestamp.hpp"

#include <QString>
#include <chrono>
#include <string>

namespace kestrava::app {

// The approval card: who asks, the code to compare, and until when the user may allow it.
struct ApproveViewModel {
    std::string requestId;
    QString phoneName; // cut for display
    QString sas;       // six digits shown as "123 456"
    Timestamp deadline;

    // The longest a card gives the user to decide.
    static constexpr std::chrono::seconds approvalWindow{110};

    // The card for `pending`, shown at `now`: at most the approval window, never past the request's expiry.
    ApproveViewModel(const PendingPairingInfo& pending, Timestamp now);
    ApproveViewModel(std::string requestId, QString phoneName, QString sas, Timestamp deadline)
        : requestId(std::move(requestId)), phoneName(std::move(phoneName)), sas(std::move(sas)),
          deadline(deadline) {}

    bool operator==(const ApproveViewModel&) const = default;
};

// A name of 41 or more characters (as the user sees them) becomes its first 39, trimmed of spaces and
// tabs, and "…".
QString cutPhoneName(const QString& name);

// Exactly six ASCII digits become "123 456"; anything else stays as it is.
QString groupedCode(const QString& code);

} // namespace kestrava::app
