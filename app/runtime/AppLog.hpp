#pragma once

#include <string_view>

namespace kestrava::app {

enum class AppLogLevel { info, warning, error };

// One line to the system journal as "kestrava", with the component that wrote it as its category; to
// standard error where there is no journal. Safe from any thread.
void appLog(AppLogLevel level, std::string_view category, std::string_view message);

} // namespace kestrava::app
