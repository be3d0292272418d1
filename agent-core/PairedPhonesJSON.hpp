#pragma once

#include "agent-core/state/StateStore.hpp"

#include <optional>
#include <string>

namespace kestrava {

// The paired phones as the control surface shows them, in the store's order: a JSON array of phone
// values; none when it cannot be encoded.
std::optional<std::string> pairedPhonesJSON(const StateStore& state);

} // namespace kestrava
