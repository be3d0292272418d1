#pragma once

#include <filesystem>
#include <optional>

namespace kestrava::app {

// The folder the application travels in with its agent: the parent of the executable's folder when the
// agent lies within it beside that folder (a build tree's "app" and "agent", an installed tree's "bin" and
// "libexec"), else the executable's folder alone (the agent in it or below it, or elsewhere). Moving it
// moves both programs and what names them.
std::filesystem::path applicationFolder(const std::filesystem::path& executableFolder,
                                        const std::optional<std::filesystem::path>& agentExecutable);

} // namespace kestrava::app
