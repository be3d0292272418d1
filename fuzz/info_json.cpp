#include "agent-core/runtime/AgentEnvironment.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrava;

namespace {

bool isUsable(const std::string& name) {
    return !name.empty() && name.find("$(") == std::string::npos;
}

} // namespace

// "Info.json" beside the program, however damaged: every name the agent takes from it is a usable one,
// its own or the default.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::optional<json::Object> info;
    try {
        json::Value value = json::parse(std::string_view(reinterpret_cast<const char*>(data), size));
        if (const json::Object* object = value.asObject()) {
            info = *object;
        }
    } catch (const json::DecodeError&) {
    }
    const AgentEnvironment environment = AgentEnvironment::fromInfo(info);
    for (const std::string* name : {&environment.machServiceName, &environment.dataDirName,
                                    &environment.keychainService, &environment.notificationPrefix}) {
        if (!isUsable(*name)) {
            std::abort();
        }
    }
    return 0;
}
