// The real agent program against the tests' TLS relay and simulated phones, controlled over its control
// socket as the application controls it.
#include "agent-core/state/Config.hpp"
#include "agent-core/state/SecretStore.hpp"
#include "agent-core/state/StateStore.hpp"
#include "platform/files/Files.hpp"
#include "platform/keychain/GenericPasswords.hpp"
#include "platform/url/Url.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/ControlClient.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/LoginManagers.hpp"
#include "tests/support/PowerSupplyTree.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/RelayPhone.hpp"
#include "tests/support/ServedAgent.hpp"
#include "tests/support/SignalListener.hpp"
#include "tests/support/StandInPrograms.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <sched.h>
#include <sys/resource.h>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using test::AgentProcess;
using test::ControlClient;
using test::eventually;
using test::FakeRelay;
using test::RegistrationAnswer;
using test::RelayPhone;
using test::ServedAgent;
using test::UpgradeAnswer;

// The relay's answer that registers `deviceId`, after `delay`.
RegistrationAnswer granted(const std::string& deviceId, std::chrono::milliseconds delay = 0ms) {
    RegistrationAnswer answer;
    answer.body = R"({"deviceId":")" + deviceId + R"(","agentToken":"tok-)" + deviceId + R"("})";
    answer.delay = delay;
    return answer;
}

TEST(AgentEndToEnd, FromFirstStartToRevoke) {
    FakeRelay relay;
    ServedAgent served(relay);
    // A laptop on mains power, whatever this machine is.
    test::PowerSupplyTree power;
    power.add("AC", {{"type", "Mains"}, {"online", "1"}})
        .add("BAT0", {{"type", "Battery"}, {"present", "1"}, {"status", "Charging"}});
    served.environment = {{"KESTRAVA_TEST_POWER_SUPPLIES", power.path().string()}};
    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.agent->waitForOutput("INFO registered device dev-1"));
    ASSERT_TRUE(served.waitUntilConnected());
    EXPECT_EQ(relay.registrations().size(), 1u);
    EXPECT_NE(test::fileText(served.dataFile("config.json")).find("\"deviceId\" : \"dev-1\""),
              std::string::npos);

    RelayPhone phone(relay);
    ASSERT_TRUE(served.pair(phone, "req-1"));
    const std::vector<PhoneInfo> phones = served.client->phones();
    ASSERT_EQ(phones.size(), 1u);
    EXPECT_EQ(phones[0].phoneId, phone.phoneId());

    // A command, and a cancel of another one while it runs.
    phone.send("r1", "c1", CommandKind::exec, "echo hi");
    ASSERT_TRUE(phone.waitForComplete("r1"));
    EXPECT_EQ(phone.replyTexts("r1"), (std::vector<std::string>{"out stdout hi\n", "done 0", "complete"}));
    phone.send("r2", "c2", CommandKind::exec, "sleep 30");
    ASSERT_TRUE(served.agent->waitForOutput("INFO exec c2 from "));
    phone.send("r3", "c2", CommandKind::cancel, "", 0);
    ASSERT_TRUE(phone.waitForComplete("r2"));
    EXPECT_EQ(phone.replyTexts("r2"), (std::vector<std::string>{"done signal", "complete"}));
    EXPECT_EQ(phone.replyTexts("r3"), std::vector<std::string>{"complete"});

    // The status reaches the phone after the approval and whenever the connection comes up, and again when
    // the machine goes on battery and back.
    const auto statusCount = [&](std::size_t count) {
        return eventually(
            [&] { return phone.statuses(); },
            [&](const std::vector<StatusSnapshot>& statuses) { return statuses.size() >= count; });
    };
    ASSERT_TRUE(statusCount(1));
    EXPECT_TRUE(phone.statuses().back().onACPower);
    EXPECT_TRUE(phone.statuses().back().isLaptop);
    std::size_t seen = phone.statuses().size();
    power.add("AC", {{"online", "0"}});
    ASSERT_TRUE(served.agent->waitForOutput("INFO power source changed; holding=false"));
    ASSERT_TRUE(statusCount(seen + 1));
    EXPECT_FALSE(phone.statuses().back().onACPower);
    seen = phone.statuses().size();
    const std::size_t logged = served.agent->output().size();
    power.add("AC", {{"online", "1"}});
    // Holding again takes a login manager that grants the locks: this one may have none.
    ASSERT_TRUE(served.agent->waitForOutput("INFO power source changed; holding=", 10s, logged));
    ASSERT_TRUE(statusCount(seen + 1));
    EXPECT_TRUE(phone.statuses().back().onACPower);

    // Killed and started again: the phone and its nonces are kept, so a replay is still refused.
    served.agent->signal(SIGKILL);
    served.agent->waitForExit();
    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.waitUntilConnected());
    EXPECT_EQ(relay.registrations().size(), 1u) << "the identity survives";
    phone.resend("r1", "r4");
    ASSERT_TRUE(phone.waitForComplete("r4"));
    EXPECT_EQ(phone.replyTexts("r4"), (std::vector<std::string>{"rejected replay", "complete"}));

    EXPECT_TRUE(served.client->revoke(phone.phoneId()));
    EXPECT_FALSE(served.client->revoke(phone.phoneId()));
    ASSERT_TRUE(eventually([&] { return phone.agentMessages(); },
                           [&](const std::vector<AgentOut>& messages) {
                               return std::any_of(
                                   messages.begin(), messages.end(), [&](const AgentOut& message) {
                                       return message == AgentOut{AgentOut::Revoke{phone.phoneId()}};
                                   });
                           }));
    EXPECT_TRUE(served.client->phones().empty());

    served.agent->signal(SIGTERM);
    EXPECT_EQ(served.agent->waitForExit(), 0);
    EXPECT_FALSE(std::filesystem::exists(test::agentControlSocket(served.home.path())))
        << "removed at shutdown";
    EXPECT_EQ(phone.agentMessages().back(), AgentOut{AgentOut::Goodbye{}}) << "a goodbye to the relay last";
}

// This process's soft core size limit, set to `soft` while the value lives (the agent inherits it).
class CoreLimitOverride {
public:
    explicit CoreLimitOverride(rlim_t soft) {
        ::getrlimit(RLIMIT_CORE, &saved_);
        const rlimit lowered{std::min(soft, saved_.rlim_max), saved_.rlim_max};
        ::setrlimit(RLIMIT_CORE, &lowered);
    }
    ~CoreLimitOverride() { ::setrlimit(RLIMIT_CORE, &saved_); }
    CoreLimitOverride(const CoreLimitOverride&) = delete;
    CoreLimitOverride& operator=(const CoreLimitOverride&) = delete;

    const rlimit& saved() const { return saved_; }

private:
    rlimit saved_{};
};

// The agent keeps its own memory out of core files, yet a phone's command starts with the limits the
// agent was started with, and may raise its soft limit up to the hard one as in any shell of the user.
TEST(AgentEndToEnd, CommandsStartWithTheLimitsTheAgentStartedWith) {
    const CoreLimitOverride limit(4096);
    const rlim_t hard = limit.saved().rlim_max;
    // What the shell's ulimit prints, in blocks of 1024 bytes.
    const std::string hardText = hard == RLIM_INFINITY ? "unlimited" : std::to_string(hard / 1024);
    const std::string softText = std::to_string(std::min<rlim_t>(4096, hard) / 1024);
    FakeRelay relay;
    ServedAgent served(relay);
    // AddressSanitizer sets the core size of what it builds to 0 at its start unless told not to.
    served.environment = {{"ASAN_OPTIONS", "disable_coredump=0"}};
    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.waitUntilConnected());
    RelayPhone phone(relay);
    ASSERT_TRUE(served.pair(phone, "req-1"));

    phone.send("r1", "c1", CommandKind::exec,
               "soft=$(ulimit -Sc) && ulimit -c " + hardText + " && echo \"$soft $(ulimit -Hc)\"");
    ASSERT_TRUE(phone.waitForComplete("r1"));
    EXPECT_EQ(
        phone.replyTexts("r1"),
        (std::vector<std::string>{"out stdout " + softText + " " + hardText + "\n", "done 0", "complete"}));
}

// The relay no longer knows this computer: with a phone paired the identity is kept and the link keeps
// trying; with none, a new device is registered, and so it is when the user asks.
TEST(AgentEndToEnd, ForgottenByTheRelay) {
    FakeRelay relay;
    relay.scriptRegistrations({granted("dev-1"), granted("dev-2"), granted("dev-3")});
    ServedAgent served(relay);
    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.waitUntilConnected());
    RelayPhone phone(relay);
    ASSERT_TRUE(served.pair(phone, "req-1"));

    relay.close(4002);
    ASSERT_TRUE(eventually([&] { return served.client->status(); },
                           [](const std::optional<AgentStatus>& status) {
                               return status && status->connection ==
                                                    ConnectionState{ConnectionState::RemovedByRelay{}};
                           }));
    EXPECT_EQ(relay.registrations().size(), 1u);
    EXPECT_EQ(served.client->status()->deviceId, "dev-1");

    // Without the phone, the next refusal gives the computer a new identity. Pausing and resuming makes the
    // link try again at once instead of after its slow retry.
    EXPECT_TRUE(served.client->revoke(phone.phoneId()));
    relay.scriptUpgrades({UpgradeAnswer::refuse(401), UpgradeAnswer::accept()});
    served.client->setMonitoringPaused(true);
    served.client->setMonitoringPaused(false);
    ASSERT_TRUE(served.agent->waitForOutput(
        "ERROR relay no longer knows this device and no phones are paired: registering a new device", 60s));
    ASSERT_TRUE(served.agent->waitForOutput("INFO registered device dev-2"));
    ASSERT_TRUE(served.waitUntilConnected());
    EXPECT_EQ(served.client->status()->deviceId, "dev-2");
    EXPECT_NE(relay.upgrades().back().target.find("device=dev-2"), std::string::npos);

    // And when the user asks for it.
    EXPECT_TRUE(served.client->reregister());
    ASSERT_TRUE(served.agent->waitForOutput("INFO registered device dev-3"));
    ASSERT_TRUE(served.waitUntilConnected());
    EXPECT_NE(test::fileText(served.dataFile("config.json")).find("\"deviceId\" : \"dev-3\""),
              std::string::npos);
}

// Phones are paired but the relay identity is incomplete: the agent must not register a new device (that
// would orphan the phones); it serves the control surface in degraded mode and touches nothing. Without
// the computer's key the phones are lost whatever happens, and the agent stops instead.
TEST(AgentEndToEnd, NoNewDeviceWhilePhonesArePaired) {
    struct Row {
        std::optional<std::string> deviceId;
        bool keyStored;
        std::optional<std::string> storedToken;
        std::string cause; // empty: the agent stops
    };
    const Row rows[] = {
        {"dev-1", true, std::nullopt, "agentToken missing from Keychain"},
        {std::nullopt, false, "tok-1", "config.json has no deviceId"},
        {"dev-1", true, "tok-\xff\xfe", "agentToken in Keychain is not visible ASCII"},
        {"dev-1", true, "tok-1\r\nX-Injected: 1", "agentToken in Keychain holds a control character"},
        {"dev-1", false, std::nullopt, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cause);
        FakeRelay relay;
        ServedAgent served(relay);
        const std::filesystem::path secrets = test::agentSecretDirectory(served.home.path());
        files::createDirectories(test::agentDataDirectory(served.home.path()), 0700);
        Config{relay.baseUrl(), row.deviceId, "Anna's PC", false}.save(served.dataFile("config.json"));
        const keychain::GenericPasswords items(secrets.filename(), secrets.parent_path());
        if (row.keyStored) {
            ASSERT_EQ(items.addItem(macAgreeKeyAccount, crypto::P256PrivateKey::generate().raw()),
                      keychain::status::success);
        }
        if (row.storedToken) {
            ASSERT_EQ(items.addItem(agentTokenAccount, bytesOf(*row.storedToken)), keychain::status::success);
        }
        StateStore seeded(served.dataFile("state.json"));
        seeded.upsert(PairedPhone{"phone-1", "Phone", test::TestPhone().signPub(),
                                  test::TestPhone().agreePub(), wallClockNow(), std::nullopt});
        seeded.save();
        const std::string stateBefore = test::fileText(served.dataFile("state.json"));

        if (row.cause.empty()) {
            EXPECT_FALSE(served.start());
            EXPECT_EQ(served.agent->waitForExit(), 1);
            EXPECT_EQ(test::occurrences(served.agent->output(), " ERROR "), 1u) << served.agent->output();
            EXPECT_NE(served.agent->output().find(" ERROR macAgreeKey is missing from Keychain but this "
                                                  "device has 1 paired phone(s); refusing to mint a new key"),
                      std::string::npos);
        } else {
            ASSERT_TRUE(served.start());
            ASSERT_TRUE(served.agent->waitForOutput(
                "ERROR " + row.cause +
                " but this device has 1 paired phone(s); refusing to register a new device"));
            const auto status = served.client->status();
            ASSERT_TRUE(status.has_value());
            EXPECT_EQ(status->connection, (ConnectionState{ConnectionState::Error{"configLost"}}));
            std::this_thread::sleep_for(500ms);
        }
        EXPECT_EQ(served.agent->output().find("registering a new device"), std::string::npos);
        EXPECT_TRUE(relay.registrations().empty());
        EXPECT_EQ(test::fileText(served.dataFile("state.json")), stateBefore);
        EXPECT_EQ(std::filesystem::exists(secrets / "macAgreeKey"), row.keyStored);
    }
}

// With no phone paired, a stored token that cannot go into a request header as it is gets the computer a
// new registration; the relay's new identifier reaches the log only in its safe form.
TEST(AgentEndToEnd, AnUnusableStoredTokenIsReplacedWhenNoPhoneIsPaired) {
    FakeRelay relay;
    const std::string deviceId = "dev-\xCD\xB8" + std::string(100, 'x');
    RegistrationAnswer answer;
    answer.body = R"({"deviceId":")" + deviceId + R"(","agentToken":"tok-2"})";
    relay.scriptRegistrations({answer});
    ServedAgent served(relay);
    const std::filesystem::path secrets = test::agentSecretDirectory(served.home.path());
    files::createDirectories(test::agentDataDirectory(served.home.path()), 0700);
    Config{relay.baseUrl(), "dev-1", "Anna's PC", false}.save(served.dataFile("config.json"));
    const keychain::GenericPasswords items(secrets.filename(), secrets.parent_path());
    ASSERT_EQ(items.addItem(agentTokenAccount, bytesOf("tok-1\r\nX-Injected: 1")), keychain::status::success);

    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.waitUntilConnected());
    ASSERT_EQ(relay.registrations().size(), 1u);
    for (const test::RelayRequest& upgrade : relay.upgrades()) {
        EXPECT_EQ(upgrade.header("Authorization"), "Bearer tok-2");
        EXPECT_EQ(upgrade.header("X-Injected"), std::nullopt);
    }
    EXPECT_NE(served.agent->output().find("INFO registered device dev-\\u{378}" + std::string(69, 'x') +
                                          "\xE2\x80\xA6\n"),
              std::string::npos)
        << served.agent->output();
}

// The user pauses while the first registration is still being retried: the bootstrap's save of the new
// identity keeps the pause.
TEST(AgentEndToEnd, APauseDuringRegistrationSurvivesIt) {
    FakeRelay relay;
    relay.scriptRegistrations({RegistrationAnswer{.status = 500, .body = "", .delay = 0ms, .silent = false},
                               granted("dev-1", 1500ms)});
    ServedAgent served(relay);
    ASSERT_TRUE(served.start());
    ASSERT_TRUE(
        served.agent->waitForOutput("ERROR registration failed (bad server response (HTTP 500)); retry in "));
    served.client->setMonitoringPaused(true);
    ASSERT_TRUE(served.agent->waitForOutput("INFO registered device dev-1"));
    const std::string config = test::fileText(served.dataFile("config.json"));
    EXPECT_NE(config.find("\"deviceId\" : \"dev-1\""), std::string::npos) << config;
    EXPECT_NE(config.find("\"monitoringPaused\" : true"), std::string::npos) << config;
    EXPECT_EQ(served.client->status()->connection, ConnectionState{ConnectionState::Paused{}});
}

// Two applications switch the pause back and forth at once: when they are done, the relay connection
// was last told what "config.json" holds.
TEST(AgentEndToEnd, CrossingPauseSwitchesLeaveTheLinkAsSaved) {
    FakeRelay relay;
    ServedAgent served(relay);
    {
        // On one processor the threads of the agent take turns at every wake-up, which is where two
        // switches cross.
        cpu_set_t mine;
        ASSERT_EQ(::sched_getaffinity(0, sizeof mine, &mine), 0);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(0, &one);
        ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
        const bool started = served.start();
        ASSERT_EQ(::sched_setaffinity(0, sizeof mine, &mine), 0);
        ASSERT_TRUE(started);
    }
    ASSERT_TRUE(served.waitUntilConnected());
    ControlClient other(test::agentControlSocket(served.home.path()));
    // The link's last word: true for "monitoring paused", false for "monitoring resumed", none yet.
    const auto linkPaused = [&]() -> std::optional<bool> {
        const std::string output = served.agent->output();
        const auto paused = output.rfind("INFO monitoring paused");
        const auto resumed = output.rfind("INFO monitoring resumed");
        if (paused == std::string::npos && resumed == std::string::npos) {
            return std::nullopt;
        }
        return resumed == std::string::npos || (paused != std::string::npos && paused > resumed);
    };
    for (int round = 0; round < 400; ++round) {
        // Each ends on its own value; once its status comes back, the agent has handled its switches.
        const auto toggle = [](ControlClient& client, bool last) {
            for (const bool paused : {last, !last, last}) {
                client.setMonitoringPaused(paused);
            }
            client.status();
        };
        std::thread one([&] { toggle(*served.client, true); });
        toggle(other, false);
        one.join();
        const bool saved =
            test::fileText(served.dataFile("config.json")).find("\"monitoringPaused\" : true") !=
            std::string::npos;
        ASSERT_TRUE(eventually(linkPaused, [&](std::optional<bool> paused) { return paused == saved; }))
            << "round " << round << ": saved " << (saved ? "paused" : "resumed");
    }
}

// With the configuration lost while phones are paired, the agent serves only the control surface and tells
// the application of each change; phones can be unpaired here, and once none is left a re-registration
// restarts it.
TEST(AgentEndToEnd, DegradedModeThroughTheSocket) {
    const test::PrivateSessionBus bus;
    test::SignalListener announcements(bus.address(), "com.veltmoran.kestrava.agent");
    // The notifications that arrive until none has for a moment.
    const auto heard = [&] {
        std::vector<std::string> members;
        while (const auto signal = announcements.next(300ms)) {
            members.push_back(signal->member);
        }
        return members;
    };
    const std::vector<std::string> oneChange{"changed"};
    FakeRelay relay;
    ServedAgent served(relay);
    StateStore seeded(served.dataFile("state.json"));
    for (const char* id : {"phone-1", "phone-2\x07"}) {
        seeded.upsert(PairedPhone{id, "Phone", test::TestPhone().signPub(), test::TestPhone().agreePub(),
                                  wallClockNow(), std::nullopt});
    }
    seeded.save();
    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.agent->waitForOutput(
        "ERROR config.json lost or corrupt with 2 paired iPhone(s): degraded mode "
        "(no relay connection) until the config is restored or the iPhones are "
        "unpaired"));
    EXPECT_EQ(heard(), oneChange) << "at start";

    // What it refuses changes nothing, says nothing and tells no one.
    ControlClient& client = *served.client;
    const std::string logged = served.agent->output();
    const auto status = client.status();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->connection, (ConnectionState{ConnectionState::Error{"configLost"}}));
    EXPECT_EQ(status->deviceId, std::nullopt);
    EXPECT_FALSE(status->monitoringPaused);
    EXPECT_FALSE(client.openPairing().has_value());
    client.cancelPairing();
    EXPECT_EQ(client.decide("any", true), PairingOutcome{PairingOutcome::Denied{PairingDenial::notPending}});
    EXPECT_FALSE(client.pendingPairing().has_value());
    client.setMonitoringPaused(true);
    EXPECT_FALSE(client.status()->monitoringPaused);
    EXPECT_FALSE(client.reregister()) << "phones are paired";
    EXPECT_FALSE(client.revoke("unknown"));
    EXPECT_EQ(client.phones().size(), 2u);
    EXPECT_EQ(served.agent->output(), logged);
    EXPECT_EQ(heard(), std::vector<std::string>{});

    EXPECT_TRUE(client.revoke("phone-1"));
    EXPECT_EQ(heard(), oneChange) << "a local unpairing";

    // A signal ends it at once: there is no relay to say goodbye to.
    served.agent->signal(SIGTERM);
    EXPECT_EQ(served.agent->waitForExit(1s), 0);
    EXPECT_FALSE(std::filesystem::exists(test::agentControlSocket(served.home.path())));

    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.agent->waitForOutput("ERROR config.json lost or corrupt with 1 paired iPhone(s)"));
    EXPECT_EQ(heard(), oneChange) << "at start";
    EXPECT_TRUE(served.client->revoke("phone-2\x07"));
    EXPECT_TRUE(served.agent->waitForOutput("INFO degraded mode: unpaired phone phone-2\\u{7} locally"));
    EXPECT_EQ(heard(), oneChange) << "a local unpairing";
    EXPECT_TRUE(served.client->phones().empty());
    EXPECT_TRUE(served.client->reregister());
    EXPECT_TRUE(served.agent->waitForOutput(
        "INFO degraded mode: no phones left, restarting to register a new device"));
    EXPECT_EQ(served.agent->waitForExit(), 0);
    EXPECT_TRUE(relay.registrations().empty());
}

// A laptop on battery whose GNOME suspends it after 20 minutes, while logind says never (Debian's default),
// with the agent started as a user service before the desktop session told anyone it is GNOME: the status
// does not call the machine sleepless.
TEST(AgentEndToEnd, AGnomeLaptopOnBatteryIsNotReportedSleepless) {
    const test::PrivateSessionBus systemBus("DBUS_SYSTEM_BUS_ADDRESS");
    const test::IdleLoginManager login("ignore", 0);
    const test::EnvironmentOverride desktop("XDG_CURRENT_DESKTOP", std::nullopt);
    const test::StandInPrograms programs;
    const std::string schema = "org.gnome.settings-daemon.plugins.power";
    programs.add("gsettings", "[ \"$*\" = 'list-recursively " + schema + "' ] || exit 1\n" + "echo \"" +
                                  schema + " sleep-inactive-ac-type 'nothing'\"\n" + "echo \"" + schema +
                                  " sleep-inactive-battery-type 'suspend'\"\n" + "echo \"" + schema +
                                  " sleep-inactive-battery-timeout 1200\"\n");
    const test::TemporaryDirectory schemas;
    test::writeText(schemas / (schema + ".gschema.xml"), "");
    test::PowerSupplyTree power;
    power.add("AC", {{"type", "Mains"}, {"online", "0"}})
        .add("BAT0", {{"type", "Battery"}, {"present", "1"}, {"status", "Discharging"}});

    FakeRelay relay;
    ServedAgent served(relay);
    served.environment = {{"KESTRAVA_TEST_POWER_SUPPLIES", power.path().string()},
                          {"GSETTINGS_SCHEMA_DIR", schemas.path().string()},
                          {"XDG_DATA_DIRS", (schemas / "none").string()}};
    ASSERT_TRUE(served.start());
    const auto status = served.client->status();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->snapshot.pmsetSleep, 20);
    EXPECT_FALSE(status->snapshot.sleepSafe);
    EXPECT_FALSE(status->snapshot.onACPower);
}

// The application the agent admits is named from the agent's own folder, as the build and the package
// name it, so that the two programs can move together.
TEST(AgentEndToEnd, TheAdmittedApplicationIsNamedFromTheAgentsFolder) {
    FakeRelay relay;
    ServedAgent served(relay);
    std::filesystem::create_directories(served.home / "app");
    std::filesystem::create_symlink(test::thisProgram(), served.home / "app/kestrava");
    test::writeAgentInfo(served.program.parent_path(), "../app/kestrava");
    ASSERT_TRUE(served.start());
    EXPECT_TRUE(served.client->status().has_value());
}

// A relay whose certificate the agent's trust store accepts but that names another host is refused, for the
// registration and for the WebSocket.
TEST(AgentEndToEnd, ARelayCertificateForAnotherHostIsRefused) {
    FakeRelay impostor(test::TestCertificateAuthority::trusted().serverNamed("relay.other.test"));
    ServedAgent served(impostor);
    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.agent->waitForOutput("ERROR registration failed ("));
    EXPECT_TRUE(impostor.registrations().empty()) << "refused before any request was sent";

    // With an identity already, the WebSocket is refused the same way.
    FakeRelay honest;
    ServedAgent registered(honest);
    ASSERT_TRUE(registered.start());
    ASSERT_TRUE(registered.waitUntilConnected());
    registered.agent->signal(SIGTERM);
    registered.agent->waitForExit();
    Config moved{impostor.baseUrl(), "dev-1", "Anna's PC", false};
    moved.save(registered.dataFile("config.json"));
    ASSERT_TRUE(registered.start({}));
    ASSERT_TRUE(registered.agent->waitForOutput("INFO connecting to 127.0.0.1"));
    ASSERT_TRUE(registered.agent->waitForOutput("INFO disconnected ("));
    EXPECT_EQ(impostor.connectionCount(), 0u);
    EXPECT_TRUE(impostor.upgrades().empty());
}

} // namespace
} // namespace kestrava
