// A tour of the agent without an outside relay: the tests' relay on 127.0.0.1, the real agent started as a
// user service against it, and a simulated phone that pairs and runs a command, each step told as it
// happens. ./scripts/run without "--backend" runs it; its arguments, if any, are the phone's command.
#include "tests/support/FakeRelay.hpp"
#include "tests/support/RelayPhone.hpp"
#include "tests/support/ServedAgent.hpp"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace {

using namespace kestrava;

std::atomic<bool> stopRequested = false;

void requestStop(int) {
    stopRequested = true;
}

void say(const std::string& sentence) {
    std::cout << "kestrava-demo: " << sentence << std::endl;
}

int fail(const std::string& step, test::ServedAgent* served = nullptr) {
    say("failed: " + step);
    if (served && served->agent) {
        std::cerr << served->agent->output();
    }
    return 1;
}

void tell(const test::RelayPhone::Reply& reply) {
    if (!reply.payload) {
        say("the exchange is complete");
    } else if (const auto* out = std::get_if<E2EPayload::Out>(&reply.payload->value)) {
        std::cout << "  " << out->stream << " | " << out->data << (out->data.ends_with('\n') ? "" : "\n");
    } else if (const auto* done = std::get_if<E2EPayload::Done>(&reply.payload->value)) {
        say("done: exit " + (done->exitCode ? std::to_string(*done->exitCode) : std::string("by a signal")) +
            " after " + std::to_string(done->durationMs) + " ms");
    } else if (const auto* rejected = std::get_if<E2EPayload::Rejected>(&reply.payload->value)) {
        say("refused: " + rejected->reason);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    std::string command = "echo \"hello from $(hostname)\"; uname -sr";
    if (argc > 1) {
        command = argv[1];
        for (int i = 2; i < argc; ++i) {
            command += std::string(" ") + argv[i];
        }
    }

    test::FakeRelay relay;
    say("the tests' relay listens at " + relay.baseUrl().absoluteString());
    // An installed agent may stand in for the built one (the package's check runs the tour with it).
    const char* installed = std::getenv("KESTRAVA_TOUR_AGENT");
    const std::filesystem::path agent = installed ? installed : test::builtAgent();
    test::ServedAgent served(relay, test::thisProgram(), agent);
    say("starting kestrava-agent (" + agent.string() + ") as a user service, at home in " +
        served.home.path().string());
    if (!served.start()) {
        return fail("the agent did not start", &served);
    }
    if (!served.agent->waitForOutput("INFO registered device ")) {
        return fail("the agent did not register", &served);
    }
    say("registered with the relay as device " + served.client->status().value().deviceId.value_or("?"));
    if (!served.waitUntilConnected()) {
        return fail("the agent did not connect", &served);
    }
    say("connected to the relay");

    test::RelayPhone phone(relay);
    if (!served.pair(phone, "pair-1", "Newcomer's phone", say)) {
        return fail("pairing", &served);
    }
    say("the phone runs: " + command);
    phone.send("run-1", "cmd-1", CommandKind::exec, command, 30);
    if (!phone.waitForComplete("run-1")) {
        return fail("the command did not complete", &served);
    }
    for (const auto& reply : phone.repliesOn("run-1")) {
        tell(reply);
    }

    say("the agent keeps running: its log is " + test::agentLogFile(served.home.path()).string() +
        ", its control socket " + test::agentControlSocket(served.home.path()).string() + "; Ctrl-C ends it");
    while (!stopRequested) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    served.agent->signal(SIGTERM);
    const auto status = served.agent->waitForExit();
    say("the agent stopped with status " + (status ? std::to_string(*status) : std::string("?")));
    return 0;
}
