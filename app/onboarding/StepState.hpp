#pragma once

#include <QString>
#include <utility>

namespace kestrava::app {

// Where one step of the first-run guide stands.
struct StepState {
    enum class Kind {
        failed,        // the attempt failed: `failure` says why, after a prefix of the page's own
        pending,       // nothing done yet
        working,       // the step's operation runs
        done,          // complete
        skipped,       // skipped by the user, or ended without effect (a refused prompt, no phone)
        needsApproval, // the agent's service is blocked until the user lifts the block
    };

    Kind kind = Kind::pending;
    QString failure;

    static StepState failed(QString why) { return {Kind::failed, std::move(why)}; }
    static StepState pending() { return {Kind::pending, {}}; }
    static StepState working() { return {Kind::working, {}}; }
    static StepState done() { return {Kind::done, {}}; }
    static StepState skipped() { return {Kind::skipped, {}}; }
    static StepState needsApproval() { return {Kind::needsApproval, {}}; }

    bool is(Kind other) const noexcept { return kind == other; }
    bool operator==(const StepState&) const = default;
};

} // namespace kestrava::app
