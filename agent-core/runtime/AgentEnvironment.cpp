#include "agent-core/runtime/AgentEnvironment.hpp"

#include "platform/files/Files.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/process/Process.hpp"

namespace kestrava {
namespace {

std::string chosen(const std::optional<json::Object>& info, const char* key, const std::string& fallback) {
    if (!info) {
        return fallback;
    }
    const json::Value* value = info->find(key);
    const std::string* text = value ? value->asString() : nullptr;
    // "$(" is an unexpanded build variable, never a real name.
    if (!text || text->empty() || text->find("$(") != std::string::npos) {
        return fallback;
    }
    return *text;
}

// A few keys; anything near this size is not the file we ship.
constexpr std::size_t maxInfoSize = 1024 * 1024;

std::optional<json::Object> readInfo(const std::filesystem::path& file) {
    try {
        const Bytes bytes = files::readAll(file, maxInfoSize);
        json::Value value = json::parse(textOf(bytes));
        if (const json::Object* object = value.asObject()) {
            return *object;
        }
    } catch (const std::exception&) {
        // Missing or unreadable: no dictionary.
    }
    return std::nullopt;
}

} // namespace

const AgentEnvironment& AgentEnvironment::defaults() {
    static const AgentEnvironment values{"com.veltmoran.kestrava.agent.xpc", "Kestrava",
                                         "com.veltmoran.kestrava.agent", "com.veltmoran.kestrava.agent"};
    return values;
}

const AgentEnvironment& AgentEnvironment::current() {
    static const AgentEnvironment values = fromInfo(mainBundleInfo());
    return values;
}

AgentEnvironment AgentEnvironment::fromInfo(const std::optional<json::Object>& info) {
    const AgentEnvironment& fallback = defaults();
    return {chosen(info, "KVMachServiceName", fallback.machServiceName),
            chosen(info, "KVDataDirName", fallback.dataDirName),
            chosen(info, "KVKeychainService", fallback.keychainService),
            chosen(info, "KVNotificationPrefix", fallback.notificationPrefix)};
}

std::optional<std::filesystem::path> applicationExecutable() {
    return programNamedBy(mainBundleInfo(), "KVAppExecutable", process::executableDirectory());
}

std::optional<std::filesystem::path>
programNamedBy(const std::optional<json::Object>& info, const char* key,
               const std::optional<std::filesystem::path>& executableFolder) {
    const std::filesystem::path path = chosen(info, key, "");
    if (path.empty() || (path.is_relative() && !executableFolder)) {
        return std::nullopt;
    }
    return path.is_absolute() ? path : (*executableFolder / path).lexically_normal();
}

const std::optional<json::Object>& mainBundleInfo() {
    static const std::optional<json::Object> info = [] {
        const auto program = process::executablePath();
        return program ? bundleInfoOf(*program) : std::nullopt;
    }();
    return info;
}

std::optional<json::Object> bundleInfoOf(const std::filesystem::path& program) {
    const std::filesystem::path folder = program.parent_path();
    if (auto beside = readInfo(folder / "Info.json")) {
        return beside;
    }
    if (folder.filename() == "bin") {
        return readInfo(folder.parent_path() / "share" / program.filename() / "Info.json");
    }
    return std::nullopt;
}

} // namespace kestrava
