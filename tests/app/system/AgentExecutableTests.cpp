#include "app/system/AgentExecutable.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

// The Info.json key when it names a program, a relative one from the application's folder, else the
// agent beside the application.
TEST(AgentExecutable, TheKeyElseTheProgramBesideTheApplication) {
    struct Row {
        std::string what;
        std::optional<json::Object> info;
        std::optional<std::filesystem::path> folder;
        std::optional<std::filesystem::path> expected;
    };
    const auto info = [](json::Value value) {
        return json::Object().add("KVAgentExecutable", std::move(value));
    };
    const std::filesystem::path folder = "/opt/kestrava";
    const std::vector<Row> table{
        {"the key", info("/usr/libexec/kestrava-agent"), folder, "/usr/libexec/kestrava-agent"},
        {"the key, no folder", info("/usr/libexec/kestrava-agent"), std::nullopt,
         "/usr/libexec/kestrava-agent"},
        {"the package's key", info("../libexec/kestrava/kestrava-agent"), "/usr/bin",
         "/usr/libexec/kestrava/kestrava-agent"},
        {"a build tree's key", info("../agent/kestrava-agent"), "/media/USB/build/app",
         "/media/USB/build/agent/kestrava-agent"},
        {"a relative key, no folder", info("../agent/kestrava-agent"), std::nullopt, std::nullopt},
        {"an empty key", info(""), folder, "/opt/kestrava/kestrava-agent"},
        {"a key that is no text", info(json::Value::integer(1)), folder, "/opt/kestrava/kestrava-agent"},
        {"no key", json::Object().add("KVMachServiceName", "x"), folder, "/opt/kestrava/kestrava-agent"},
        {"no Info.json", std::nullopt, folder, "/opt/kestrava/kestrava-agent"},
        {"nothing", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& row : table) {
        EXPECT_EQ(app::agentExecutable(row.info, row.folder), row.expected) << row.what;
    }
}

} // namespace
} // namespace kestrava
