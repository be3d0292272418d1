#pragma once

#include <optional>
#include <string_view>

namespace kestrava {

// What a signed command asks for: run a shell command, or stop the phone's running command of the same id.
enum class CommandKind { exec, cancel };

constexpr std::string_view rawValue(CommandKind kind) {
    switch (kind) {
    case CommandKind::exec:
        return "exec";
    case CommandKind::cancel:
        return "cancel";
    }
    return {};
}

// Exactly "exec" or "cancel", case-sensitive.
constexpr std::optional<CommandKind> commandKindFromRawValue(std::string_view raw) {
    if (raw == rawValue(CommandKind::exec)) {
        return CommandKind::exec;
    }
    if (raw == rawValue(CommandKind::cancel)) {
        return CommandKind::cancel;
    }
    return std::nullopt;
}

} // namespace kestrava
