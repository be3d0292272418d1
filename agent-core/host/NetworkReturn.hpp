#pragma once

#include <optional>

namespace kestrava {

// Tells from the network path's reports when the network came back: a satisfied report after an
// unsatisfied one. The first report says nothing, having nothing to compare with, and neither does
// losing the network. Not thread-safe: its owner serialises the reports.
class NetworkReturn {
public:
    // True when this report is the network's return.
    bool report(bool satisfied);

private:
    std::optional<bool> last_;
};

} // namespace kestrava
