#include "app/system/AgentUnitTemplate.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "tests/app-support/FakeSystemdUserManager.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::PlatformError;
using app::ServiceStatus;
using Outcome = app::Result<void, PlatformError>;
using Calls = std::vector<std::string>;

const Calls& registering = test::FakeSystemdUserManager::registering;
const Calls& unregistering = test::FakeSystemdUserManager::unregistering;

class SystemdUserUnitTest : public testing::Test {
protected:
    SystemdUserUnitTest() { place(agent, "#!/bin/sh\n"); }

    app::SystemdUserUnit unit(std::optional<std::filesystem::path> agentExecutable) {
        return {manager,
                scheduler,
                folder / "config",
                std::move(agentExecutable),
                3s,
                {systemFolder, vendorFolder}};
    }

    static void place(const std::filesystem::path& file, std::string_view text) {
        std::filesystem::create_directories(file.parent_path());
        test::writeText(file, text);
    }
    static void link(const std::filesystem::path& target, const std::filesystem::path& at) {
        std::filesystem::create_directories(at.parent_path());
        std::filesystem::create_symlink(target, at);
    }

    // The packaged unit's text for `agentExecutable`.
    static std::string unitFor(const std::filesystem::path& agentExecutable) {
        std::string text(app::agentUnitTemplate());
        const std::string execStart = "ExecStart=@KESTRAVA_AGENT_EXECUTABLE@\n";
        EXPECT_NE(text.find(execStart), std::string::npos);
        text.replace(text.find(execStart), execStart.size(), "ExecStart=" + agentExecutable.string() + "\n");
        return text;
    }

    // Runs a register or an unregister whose calls all answer at once.
    Outcome run(QCoro::Task<Outcome> task) {
        const test::Started<Outcome> started(std::move(task));
        scheduler.runPosted();
        return started.done() ? started.result() : Outcome{PlatformError{"still running"}};
    }

    test::TemporaryDirectory folder;
    const std::filesystem::path userFolder = folder / "config" / "systemd" / "user";
    const std::filesystem::path systemFolder = folder / "etc" / "systemd" / "user";
    const std::filesystem::path vendorFolder = folder / "usr" / "lib" / "systemd" / "user";
    const std::filesystem::path agent = folder / "bin" / "kestrava-agent";
    test::VirtualScheduler scheduler;
    std::shared_ptr<test::FakeSystemdUserManager> manager =
        std::make_shared<test::FakeSystemdUserManager>(scheduler);
};

// A missing agent comes first, then a mask in either folder, then a wants-link in either folder.
TEST_F(SystemdUserUnitTest, StatusFollowsTheUnitFolders) {
    struct Row {
        std::string what;
        std::vector<std::filesystem::path> maskedIn, enabledIn;
        std::optional<std::filesystem::path> agentExecutable;
        ServiceStatus expected;
    };
    const std::filesystem::path gone = folder / "gone" / "kestrava-agent";
    const std::vector<Row> table{
        {"nothing", {}, {}, agent, ServiceStatus::notRegistered},
        {"enabled by the user", {}, {userFolder}, agent, ServiceStatus::enabled},
        {"enabled for all users", {}, {systemFolder}, agent, ServiceStatus::enabled},
        {"masked by the user", {userFolder}, {}, agent, ServiceStatus::requiresApproval},
        {"masked for all users", {systemFolder}, {}, agent, ServiceStatus::requiresApproval},
        {"masked and enabled", {userFolder}, {systemFolder}, agent, ServiceStatus::requiresApproval},
        {"enabled, agent gone", {}, {userFolder}, gone, ServiceStatus::notFound},
        {"masked, no agent", {systemFolder}, {}, std::nullopt, ServiceStatus::notFound},
    };
    for (const auto& row : table) {
        std::filesystem::remove_all(folder / "config");
        std::filesystem::remove_all(folder / "etc");
        for (const auto& unitFolder : row.maskedIn) {
            link("/dev/null", unitFolder / "kestrava-agent.service");
        }
        for (const auto& unitFolder : row.enabledIn) {
            link(unitFolder / "kestrava-agent.service",
                 unitFolder / "default.target.wants/kestrava-agent.service");
        }
        EXPECT_EQ(unit(row.agentExecutable).status(), row.expected) << row.what;
    }
    std::filesystem::remove_all(folder / "etc");
    link(agent, userFolder / "kestrava-agent.service");
    EXPECT_EQ(unit(agent).status(), ServiceStatus::notRegistered) << "a link elsewhere is no mask";
}

// Registering writes the packaged unit with this agent's path over an older copy, then enables, reloads
// and starts; unregistering stops, disables and reloads, and leaves the file.
TEST_F(SystemdUserUnitTest, RegisterWritesTheUnitFirstAndUnregisterLeavesIt) {
    place(userFolder / "kestrava-agent.service", "[Service]\nExecStart=/old/kestrava-agent\n");
    auto agentUnit = unit(agent);
    EXPECT_EQ(run(agentUnit.registerService()), Outcome{});
    EXPECT_EQ(run(agentUnit.unregisterService()), Outcome{});
    Calls expectedCalls = registering;
    expectedCalls.insert(expectedCalls.end(), unregistering.begin(), unregistering.end());
    EXPECT_EQ(manager->calls, expectedCalls);

    const std::string expected = unitFor(agent);
    EXPECT_EQ(test::fileText(userFolder / "kestrava-agent.service"), expected);
    EXPECT_NE(expected.find("Restart=always\n"), std::string::npos);
}

// Where the package's unit runs this agent, registering writes no copy and removes one that a build
// tree's application left, which would hide the package's; a unit the user wrote stays. A package's unit
// for another agent is no reason to leave out the copy.
TEST_F(SystemdUserUnitTest, AnInstalledApplicationRegistersThePackagesUnit) {
    const std::filesystem::path copy = userFolder / "kestrava-agent.service";
    const std::string buildTreeCopy = unitFor("/home/me/kestrava/build/agent/kestrava-agent");
    const std::string usersOwn = "[Service]\nExecStart=" + agent.string() + " --verbose\n";
    const struct {
        std::string what, packaged;
        std::optional<std::string> left, expected;
    } table[] = {
        {"nothing left", unitFor(agent), std::nullopt, std::nullopt},
        {"a build tree's copy left", unitFor(agent), buildTreeCopy, std::nullopt},
        {"the user's own unit", unitFor(agent), usersOwn, usersOwn},
        {"a package for another agent", unitFor("/opt/other/kestrava-agent"), std::nullopt, unitFor(agent)},
    };
    for (const auto& row : table) {
        std::filesystem::remove_all(folder / "config");
        place(vendorFolder / "kestrava-agent.service", row.packaged);
        if (row.left) {
            place(copy, *row.left);
        }
        manager->calls.clear();
        EXPECT_EQ(run(unit(agent).registerService()), Outcome{}) << row.what;
        EXPECT_EQ(manager->calls, registering) << row.what;
        EXPECT_EQ(std::filesystem::exists(copy) ? std::optional(test::fileText(copy)) : std::nullopt,
                  row.expected)
            << row.what;
    }
}

// An agent whose path holds blanks, quotes or "%" is one quoted word of the unit's command line.
TEST_F(SystemdUserUnitTest, TheAgentsPathIsOneWordOfTheCommandLine) {
    const std::vector<std::pair<std::string, std::string>> table{
        {"bin/kestrava-agent", "ExecStart=" + (folder / "bin/kestrava-agent").string() + "\n"},
        {"100%/kestrava-agent", "ExecStart=" + (folder / "100%%/kestrava-agent").string() + "\n"},
        {"My Apps/kestrava-agent", "ExecStart=\"" + (folder / "My Apps/kestrava-agent").string() + "\"\n"},
        {"a\"b/kestrava-agent", "ExecStart=\"" + (folder / "a\\\"b/kestrava-agent").string() + "\"\n"},
    };
    for (const auto& [relative, line] : table) {
        place(folder / relative, "#!/bin/sh\n");
        auto agentUnit = unit(folder / relative);
        EXPECT_EQ(run(agentUnit.registerService()), Outcome{});
        EXPECT_NE(test::fileText(userFolder / "kestrava-agent.service").find(line), std::string::npos)
            << relative;
    }
}

// Whichever call fails, or gets no answer within the limit, ends the sequence with its error; an answer
// that comes after the limit changes nothing.
TEST_F(SystemdUserUnitTest, TheFirstFailureEndsTheSequence) {
    const PlatformError late{"the service manager did not answer within 3 s", PlatformError::Cause::timedOut};
    auto agentUnit = unit(agent);
    for (const bool registers : {true, false}) {
        const Calls& sequence = registers ? registering : unregistering;
        for (std::size_t failing = 0; failing < sequence.size(); ++failing) {
            for (const bool silent : {false, true}) {
                const std::string call = sequence[failing];
                const PlatformError refusal{call + " refused"};
                manager->calls.clear();
                manager->errors = {{call, refusal}};
                manager->silent = silent ? call : "";
                const test::Started<Outcome> started(registers ? agentUnit.registerService()
                                                               : agentUnit.unregisterService());
                scheduler.advance(3s - 1ns);
                EXPECT_EQ(started.done(), !silent) << call;
                scheduler.advance(1ns);
                ASSERT_TRUE(started.done()) << call;
                manager->answerSilentCalls();
                scheduler.runPosted();
                EXPECT_EQ(started.result(), Outcome{silent ? late : refusal}) << call;
                EXPECT_EQ(manager->calls, Calls(sequence.begin(), sequence.begin() + failing + 1)) << call;
            }
        }
    }
}

// A mask is left as it is, whoever set it: registering goes straight to the manager, whose refusal is
// the result. Without the agent there is nothing to register.
TEST_F(SystemdUserUnitTest, RegisteringLeavesAMaskAloneAndNeedsTheAgent) {
    const PlatformError refusal{"Unit file kestrava-agent.service is masked."};
    manager->errors = {{registering.front(), refusal}};
    link("/dev/null", userFolder / "kestrava-agent.service");
    EXPECT_EQ(run(unit(agent).registerService()), Outcome{refusal});
    EXPECT_EQ(std::filesystem::read_symlink(userFolder / "kestrava-agent.service"), "/dev/null");

    std::filesystem::remove(userFolder / "kestrava-agent.service");
    link("/dev/null", systemFolder / "kestrava-agent.service");
    EXPECT_EQ(run(unit(agent).registerService()), Outcome{refusal});
    EXPECT_FALSE(std::filesystem::exists(userFolder / "kestrava-agent.service"));
    EXPECT_EQ(manager->calls, Calls(2, registering.front()));

    manager->calls.clear();
    const std::filesystem::path gone = folder / "gone" / "kestrava-agent";
    EXPECT_EQ(run(unit(gone).registerService()),
              Outcome{PlatformError{"no agent program at " + gone.string()}});
    EXPECT_EQ(run(unit(std::nullopt).registerService()), Outcome{PlatformError{"no agent program"}});
    EXPECT_TRUE(manager->calls.empty());
}

} // namespace
} // namespace kestrava
