#pragma once

namespace kestrava {

// The most phones one computer is paired with: the agent refuses another, and the application offers none.
inline constexpr int maxPairedPhones = 5;

} // namespace kestrava
