#pragma once

#include "tests/support/AgentProcess.hpp"
#include "tests/support/ControlClient.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/RelayPhone.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrava::test {

// The real agent (`agentProgram`, the built one unless given) installed and run as a user service in a
// home of its own, with the tests' relay as its relay and `admitted` (this program unless given) as the
// application its control socket admits; and the control client the user's application would be.
class ServedAgent {
public:
    // Told each step of a pairing, as a sentence.
    using Narrator = std::function<void(const std::string&)>;

    explicit ServedAgent(FakeRelay& relay, std::filesystem::path admitted = thisProgram(),
                         const std::filesystem::path& agentProgram = builtAgent());

    // Starts the agent (again) with the tests' relay as "--backend", or with `arguments`, and connects the
    // client; false when the agent did not come up.
    bool start();
    bool start(const std::vector<std::string>& arguments);
    // True once the agent reports its relay link connected.
    bool waitUntilConnected();
    // Pairs `phone` as the user would: the window, the phone's request, the same code on both sides, the
    // approval. False at the first step that fails.
    bool pair(RelayPhone& phone, const std::string& requestId, std::string_view phoneName = "Test phone",
              const Narrator& narrate = {});

    std::filesystem::path dataFile(const std::string& name) const;

    TemporaryDirectory home;
    // Further variables for the agent at each start.
    std::vector<std::pair<std::string, std::string>> environment;
    FakeRelay& relay;
    const std::filesystem::path program;
    std::optional<AgentProcess> agent;
    std::optional<ControlClient> client;
};

// Polls `read` until `done` holds for what it answers; false after 20 s.
template<class Read, class Done>
bool eventually(Read read, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done(read())) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace kestrava::test
