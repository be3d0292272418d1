#include "agent-core/runtime/AgentVersion.hpp"

#include "agent-core/runtime/AgentEnvironment.hpp"

namespace kestrava {
namespace {

std::string textAt(const json::Object& info, const char* key) {
    const json::Value* value = info.find(key);
    const std::string* text = value ? value->asString() : nullptr;
    return text ? *text : std::string();
}

} // namespace

std::string agentVersion(const std::optional<json::Object>& info) {
    if (!info || !textAt(*info, "CFBundleIdentifier").starts_with("com.veltmoran.kestrava.mac.agent")) {
        return "0.1.1";
    }
    const std::string shortVersion = textAt(*info, "CFBundleShortVersionString");
    if (shortVersion.empty()) {
        return "0.1.1";
    }
    const std::string build = textAt(*info, "CFBundleVersion");
    return build.empty() ? shortVersion : shortVersion + " (" + build + ")";
}

const std::string& agentVersion() {
    static const std::string version = agentVersion(mainBundleInfo());
    return version;
}

} // namespace kestrava
