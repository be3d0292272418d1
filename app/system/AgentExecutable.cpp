#include "app/system/AgentExecutable.hpp"

#include "agent-core/runtime/AgentEnvironment.hpp"
#include "platform/process/Process.hpp"

namespace kestrava::app {

std::optional<std::filesystem::path> agentExecutable() {
    return agentExecutable(mainBundleInfo(), process::executableDirectory());
}

std::optional<std::filesystem::path>
agentExecutable(const std::optional<json::Object>& info,
                const std::optional<std::filesystem::path>& executableFolder) {
    if (auto named = programNamedBy(info, "KVAgentExecutable", executableFolder)) {
        return named;
    }
    if (!executableFolder) {
        return std::nullopt;
    }
    return *executableFolder / "kestrava-agent";
}

} // namespace kestrava::app
