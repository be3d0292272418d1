#include "agent-core/Agent.hpp"
#include "platform/json/Reader.hpp"
#include "tests/support/FullStandardError.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"
#include "tests/support/UnflushableFolder.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// A warning logged by a save can block (standard error is a pipe no one drains): the next save of the
// pause switch must not wait for it, or every later change of the settings would.
TEST(Agent, ItsSaveLockIsFreeWhileItWritesALogLine) {
    test::UnflushableFolder folder;
    const test::TemporaryDirectory data;
    const auto configFile = folder.path() / "config.json";
    boost::asio::io_context mainContext;
    const auto agent = std::make_shared<Agent>(
        mainContext, Config{*url::Url::parseReference("https://relay.example.com"), "dev-1", "Mac", false},
        crypto::P256PrivateKey::generate(), std::make_shared<StateStore>(data / "state.json"), std::nullopt,
        configFile, ReregistrationEffects{});
    const auto pausedOnDisk = [&](bool paused) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            try {
                if (Config::decode(json::ObjectReader(json::parse(test::fileText(configFile))))
                        .monitoringPaused == paused) {
                    return true;
                }
            } catch (const std::exception&) {
                // Not written yet.
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    // Each save's folder cannot be flushed: each logs a warning, which blocks.
    const auto switchPause = [&](bool paused, std::atomic<bool>& done) {
        return std::thread([&, paused] {
            test::UnflushableFolder::runAsItsOwner([&] { agent->setMonitoringPaused(paused); });
            done = true;
        });
    };

    test::FullStandardError fullPipe;
    std::atomic<bool> paused = false;
    std::atomic<bool> resumed = false;
    std::thread pausing = switchPause(true, paused);
    ASSERT_TRUE(pausedOnDisk(true));
    std::thread resuming = switchPause(false, resumed);
    EXPECT_TRUE(pausedOnDisk(false)) << "the save lock is held while logging";

    const std::string drained = fullPipe.giveBack([&] { return paused && resumed; });
    pausing.join();
    resuming.join();
    EXPECT_NE(drained.find("WARN saved, but a power cut may still undo it: "), std::string::npos);
}

} // namespace
} // namespace kestrava
