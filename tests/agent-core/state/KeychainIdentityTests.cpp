#include "agent-core/state/IdentityError.hpp"
#include "agent-core/state/KeychainIdentity.hpp"
#include "agent-core/state/RegistrationRefused.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <vector>

namespace kestrava {
namespace {

constexpr std::int32_t locked = -25308;

Bytes copyOf(ByteView bytes) {
    return {bytes.begin(), bytes.end()};
}

// Items in memory; the next reads fail with the queued statuses first.
class FakeSecretStore : public SecretStore {
public:
    std::map<std::string, Bytes, std::less<>> items;
    std::deque<std::int32_t> failures;
    bool writable = true;
    std::vector<std::string> reads;

    SecretReadOutcome read(std::string_view account) override {
        reads.emplace_back(account);
        if (!failures.empty()) {
            const auto status = failures.front();
            failures.pop_front();
            return {SecretReadOutcome::Failed{status}};
        }
        const auto item = items.find(account);
        if (item == items.end()) {
            return {SecretReadOutcome::NotFound{}};
        }
        return {SecretReadOutcome::Found{item->second}};
    }

    bool write(std::string_view account, ByteView data) override {
        if (writable) {
            items.insert_or_assign(std::string(account), copyOf(data));
        }
        return writable;
    }
};

class KeychainIdentityTest : public testing::Test {
protected:
    std::shared_ptr<FakeSecretStore> store = std::make_shared<FakeSecretStore>();
    std::vector<double> waits;
    std::vector<std::string> lines;
    KeychainIdentity identity{store, 5, [this](double seconds) { waits.push_back(seconds); },
                              [this](std::string_view line) { lines.emplace_back(line); }};

    IdentityError macKeyFailure(bool deviceExists, int pairedPhones) {
        return test::thrownBy<IdentityError>([&] { identity.loadOrCreateMacKey(deviceExists, pairedPhones); })
            .value();
    }
};

TEST_F(KeychainIdentityTest, ReadsThatKeepFailingWaitLongerEachTimeThenGiveUp) {
    store->failures.assign(6, locked);
    const auto error = macKeyFailure(true, 1);
    EXPECT_EQ(error, IdentityError::keychainUnavailable("macAgreeKey", locked));
    EXPECT_STREQ(error.what(), "Keychain read of macAgreeKey failed with OSStatus -25308 after retries");
    EXPECT_EQ(store->reads.size(), 5u);
    EXPECT_EQ(waits, (std::vector<double>{1, 2, 4, 8}));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.front(), "Keychain read of macAgreeKey failed (OSStatus -25308), attempt 1/5");
    EXPECT_EQ(lines.back(), "Keychain read of macAgreeKey failed (OSStatus -25308), attempt 5/5");

    store->failures.assign(5, -36);
    EXPECT_EQ(test::thrownBy<IdentityError>([&] { identity.readAgentToken(true, 0); }).value(),
              IdentityError::keychainUnavailable("agentToken", -36));
}

TEST_F(KeychainIdentityTest, ReadThatRecoversReturnsTheStoredKey) {
    const auto stored = crypto::P256PrivateKey::generate().raw();
    store->items["macAgreeKey"] = copyOf(stored);
    store->failures.assign(2, locked);
    EXPECT_EQ(identity.loadOrCreateMacKey(true, 3).raw(), stored);
    EXPECT_EQ(waits, (std::vector<double>{1, 2}));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Keychain read of macAgreeKey failed (OSStatus -25308), attempt 1/5",
                         "Keychain read of macAgreeKey failed (OSStatus -25308), attempt 2/5"}));
}

TEST_F(KeychainIdentityTest, MissingItemIsNeverReadTwice) {
    EXPECT_EQ(identity.readWithRetry("agentToken"), SecretReadOutcome{SecretReadOutcome::NotFound{}});
    EXPECT_EQ(store->reads.size(), 1u);
    EXPECT_TRUE(waits.empty());
    EXPECT_TRUE(lines.empty());
}

TEST_F(KeychainIdentityTest, MissingKeyIsReplacedOnlyWhileNoPhoneDependsOnIt) {
    const auto refused = macKeyFailure(true, 2);
    EXPECT_EQ(refused, IdentityError::macKeyMissing(2));
    EXPECT_STREQ(refused.what(),
                 "macAgreeKey is missing from Keychain but this device has 2 paired phone(s); "
                 "refusing to mint a new key (it would silently break every pairing). Restore "
                 "the Keychain item, or reset the agent and re-pair.");
    EXPECT_TRUE(store->items.empty());

    const auto recreated = identity.loadOrCreateMacKey(true, 0).raw();
    EXPECT_EQ(store->items.at("macAgreeKey"), copyOf(recreated));
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "warning: macAgreeKey missing for existing device (no paired phones); creating a new key"}));

    store->items.clear();
    lines.clear();
    const auto created = identity.loadOrCreateMacKey(false, 2).raw();
    EXPECT_EQ(store->items.at("macAgreeKey"), copyOf(created));
    EXPECT_TRUE(lines.empty());
}

TEST_F(KeychainIdentityTest, UnusableKeysAreReportedAndLeftAlone) {
    for (const Bytes& unusable : {Bytes(31, 0x11), Bytes(32, 0x00), Bytes(32, 0xFF)}) {
        store->items["macAgreeKey"] = unusable;
        EXPECT_EQ(macKeyFailure(false, 0), IdentityError::corruptMacKey());
        EXPECT_EQ(store->items.at("macAgreeKey"), unusable);
    }

    store->items.clear();
    store->writable = false;
    const auto error = macKeyFailure(false, 0);
    EXPECT_EQ(error, IdentityError::cannotStoreMacKey());
    EXPECT_STREQ(error.what(), "cannot store a new macAgreeKey in Keychain");
    EXPECT_STREQ(IdentityError::corruptMacKey().what(),
                 "macAgreeKey in Keychain is not a valid P-256 key (refusing to overwrite it)");
}

TEST_F(KeychainIdentityTest, AgentTokenIsReadOnlyForAnExistingDevice) {
    store->items["agentToken"] = copyOf(bytesOf("tok-1"));
    EXPECT_EQ(identity.readAgentToken(false, 0), std::nullopt);
    EXPECT_TRUE(store->reads.empty());
    EXPECT_EQ(identity.readAgentToken(true, 0), "tok-1");

    // A token that could not be sent as it is counts as none, without a line: a new device is registered.
    for (const Bytes& unusable : {Bytes{0x74, 0xC3, 0x28}, copyOf(bytesOf("tok-\xC3\xA9")),
                                  copyOf(bytesOf("tok\r\nX-Injected: 1")), Bytes{}, Bytes(257, 'x')}) {
        store->items["agentToken"] = unusable;
        EXPECT_EQ(identity.readAgentToken(true, 0), std::nullopt);
    }
    EXPECT_TRUE(lines.empty());
    store->items["agentToken"] = Bytes(256, '~');
    EXPECT_EQ(identity.readAgentToken(true, 0), std::string(256, '~'));

    store->items.clear();
    EXPECT_EQ(identity.readAgentToken(true, 0), std::nullopt);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "config has a deviceId but no agentToken in Keychain; registering a new device"}));
}

// Start-up reads the key first and the token once after it; with phones paired, an identity they cannot
// be reached through is refused rather than replaced by a new registration.
TEST(KeychainIdentityLoad, ReadsTheKeyThenTheTokenAndNeverRegistersOverPairedPhones) {
    const std::string refusal = " but this device has 1 paired phone(s); refusing to register a new device";
    struct Row {
        bool deviceExists;
        int pairedPhones;
        bool keyStored;
        std::optional<std::string> token;
        bool locked;
        std::vector<std::string> reads;
        std::string outcome;
    };
    const std::vector<std::string> keyThenToken{"macAgreeKey", "agentToken"};
    const Row rows[] = {
        {true, 1, true, "tok-1", false, keyThenToken, "token tok-1"},
        {true, 1, true, std::nullopt, false, keyThenToken,
         "refused: agentToken missing from Keychain" + refusal},
        {true, 1, true, "tok\r\nX-Injected: 1", false, keyThenToken,
         "refused: agentToken in Keychain holds a control character" + refusal},
        {true, 1, true, "tok-\xFF", false, keyThenToken,
         "refused: agentToken in Keychain is not visible ASCII" + refusal},
        {true,
         1,
         false,
         std::nullopt,
         false,
         {"macAgreeKey"},
         "failed: " + std::string(IdentityError::macKeyMissing(1).what())},
        {true, 1, true, "tok-1", true, std::vector<std::string>(5, "macAgreeKey"),
         "failed: Keychain read of macAgreeKey failed with OSStatus -25308 after retries"},
        {false, 1, true, "tok-1", false, {}, "refused: config.json has no deviceId" + refusal},
        {true, 0, true, "tok\r\nX-Injected: 1", false, keyThenToken, "token none"},
        {false, 0, false, std::nullopt, false, {"macAgreeKey"}, "token none"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.outcome);
        const auto store = std::make_shared<FakeSecretStore>();
        if (row.keyStored) {
            store->items["macAgreeKey"] = copyOf(crypto::P256PrivateKey::generate().raw());
        }
        if (row.token) {
            store->items["agentToken"] = copyOf(bytesOf(*row.token));
        }
        if (row.locked) {
            store->failures.assign(10, locked);
        }
        std::vector<std::string> lines;
        const KeychainIdentity identity{store, 5, [](double) {},
                                        [&](std::string_view line) { lines.emplace_back(line); }};
        std::string outcome;
        try {
            outcome =
                "token " + identity.load(row.deviceExists, row.pairedPhones).agentToken.value_or("none");
        } catch (const RegistrationRefused& refused) {
            outcome = std::string("refused: ") + refused.what();
        } catch (const IdentityError& error) {
            outcome = std::string("failed: ") + error.what();
        }
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_EQ(store->reads, row.reads);
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find("agentToken"), std::string::npos) << line;
        }
    }
}

} // namespace
} // namespace kestrava
