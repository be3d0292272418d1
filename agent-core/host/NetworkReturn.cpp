#include "agent-core/host/NetworkReturn.hpp"

#include <utility>

namespace kestrava {

bool NetworkReturn::report(bool satisfied) {
    const std::optional<bool> previous = std::exchange(last_, satisfied);
    return satisfied && previous == false;
}

} // namespace kestrava
