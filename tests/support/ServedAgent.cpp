#include "tests/support/ServedAgent.hpp"

namespace kestrava::test {

ServedAgent::ServedAgent(FakeRelay& relay, std::filesystem::path admitted,
                         const std::filesystem::path& agentProgram)
    : relay(relay), program(installAgent(home / "bin", admitted, agentProgram)) {}

bool ServedAgent::start() {
    return start({"--backend", relay.baseUrl().absoluteString()});
}

bool ServedAgent::start(const std::vector<std::string>& arguments) {
    client.reset();
    agent.reset();
    agent.emplace(
        home.path(), arguments,
        AgentProcessOptions{.program = program, .asService = true, .environment = environment, .user = {}});
    if (!agent->waitForOutput("XPC listening on ")) {
        return false;
    }
    client.emplace(agentControlSocket(home.path()));
    return true;
}

bool ServedAgent::waitUntilConnected() {
    const ConnectionState connected{ConnectionState::Connected{}};
    return eventually(
        [&] { return client->status(); },
        [&](const std::optional<AgentStatus>& status) { return status && status->connection == connected; });
}

bool ServedAgent::pair(RelayPhone& phone, const std::string& requestId, std::string_view phoneName,
                       const Narrator& narrate) {
    const auto say = [&](const std::string& sentence) {
        if (narrate) {
            narrate(sentence);
        }
    };
    const auto opened = client->openPairing();
    if (!opened) {
        return false;
    }
    say("pairing window opened; the link in its QR code: " + opened->first);
    phone.requestPairing(opened->first, requestId, phoneName);
    std::optional<PendingPairingInfo> pending;
    if (!eventually([&] { return pending = client->pendingPairing(); },
                    [](const auto& found) { return found.has_value(); })) {
        return false;
    }
    say("the computer shows \"" + pending->phoneName + "\" with the code " + pending->sas +
        "; the phone shows the code " + phone.confirmationCode());
    if (pending->sas != phone.confirmationCode()) {
        return false;
    }
    const PairingOutcome outcome = client->decide(requestId, true);
    const auto* approved = std::get_if<PairingOutcome::Approved>(&outcome.value);
    if (!approved) {
        return false;
    }
    phone.paired(approved->phoneId);
    say("approved: paired phone " + approved->phoneId);
    return true;
}

std::filesystem::path ServedAgent::dataFile(const std::string& name) const {
    return agentDataDirectory(home.path()) / name;
}

} // namespace kestrava::test
