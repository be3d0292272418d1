#pragma once

#include "app/link/AgentClientError.hpp"
#include "app/system/PlatformError.hpp"
#include "app/system/ServiceManager.hpp"

#include <QString>
#include <variant>

namespace kestrava::app {

// A user action the agent refused.
enum class ActionFailure {
    reregisterRefused, // phones are still paired
    revokeRefused,     // the agent did not remove the phone
};

// Any failure the application turns into a text for the user.
using AppError = std::variant<AgentClientError, ServiceManagerError, PlatformError, ActionFailure>;

// A failed restart of the agent's service as one of them.
AppError appErrorOf(const ServiceFailure& failure);

// The one table from failures of the agent link, of the login item and of user actions to what the user
// reads. Details of link and registration failures stay out of it; a system failure shows its own words,
// after a sentence of ours where its cause is a common one (a `FailureText`).
QString message(const AppError& error);

} // namespace kestrava::app
