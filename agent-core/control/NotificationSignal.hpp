#pragma once

#include <string>
#include <string_view>

namespace kestrava {

// The session-bus signal that carries a change notification "<prefix>.<name>" to the application.
struct NotificationSignal {
    std::string interface; // the prefix, each element made a valid D-Bus name element
    std::string member;    // the part after the last dot
    std::string path;      // "/" followed by the interface's elements joined by "/"

    bool operator==(const NotificationSignal&) const = default;
};

// An element that is not [A-Za-z_][A-Za-z0-9_]* is escaped: every other byte becomes "_" and two
// lower-case hex digits, a leading digit gets a "_" before it and an empty element becomes "_". The
// application maps the names the same way to subscribe.
NotificationSignal notificationSignal(std::string_view notificationName);

} // namespace kestrava
