#pragma once

#include <optional>
#include <string_view>

namespace kestrava {

// Which way a sealed box travels; part of what each box is bound to.
enum class Direction { p2m, m2p };

constexpr std::string_view rawValue(Direction direction) {
    return direction == Direction::p2m ? "p2m" : "m2p";
}

constexpr std::optional<Direction> directionFromRawValue(std::string_view raw) {
    if (raw == "p2m") {
        return Direction::p2m;
    }
    if (raw == "m2p") {
        return Direction::m2p;
    }
    return std::nullopt;
}

} // namespace kestrava
