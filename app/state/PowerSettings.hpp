#pragma once

#include "app/state/Defaults.hpp"
#include "app/system/AdminRunner.hpp"

#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

namespace kestrava::app {

// The power settings that keep the machine from sleeping on its own, and what is recorded of them:
// "powerApplied" (true once applied) and "powerAppliedFlags" (the scope, "-c" for mains power only or
// "-a" for every power source), plus the GNOME session's earlier idle suspend so that undo puts it back.

// True for mains power only, false for every power source; none unless "powerApplied" is true and the
// flag is exactly "-c" or "-a".
std::optional<bool> storedPowerScope(const Defaults& defaults);

// Runs the apply command with `runner`; once applied, records the scope and, in a GNOME session, turns
// off the session's own idle suspend on mains power. Cancelled or failed, nothing is written.
QCoro::Task<PowerSetupResult> applyPowerSettings(bool onlyAC, std::shared_ptr<Defaults> defaults,
                                                 std::shared_ptr<AdminRunner> runner);

// Runs the undo command with `runner` when a scope is stored; once applied, forgets the scope and, in a
// GNOME session, puts back the session's earlier idle suspend. Without a stored scope nothing runs, the
// result is failed with "nothing to undo", and keys that cannot describe a scope are cleared.
QCoro::Task<PowerSetupResult> undoPowerSetup(std::shared_ptr<Defaults> defaults,
                                             std::shared_ptr<AdminRunner> runner);

} // namespace kestrava::app
