#pragma once

#include "platform/url/Url.hpp"
#include "tests/support/TestCertificateAuthority.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrava::test {
namespace relay {
class Server;
} // namespace relay

// One HTTP request as the relay received it.
struct RelayRequest {
    std::string method;
    std::string target; // path and query as sent, e.g. "/v1/agent?deviceId=dev-1"
    std::vector<std::pair<std::string, std::string>> headers; // in arrival order, names as sent
    std::string body;

    // The first header of that name (compared without regard to case), or nothing.
    std::optional<std::string> header(std::string_view name) const;
};

// How the relay answers one POST /v1/devices.
struct RegistrationAnswer {
    int status = 201;
    std::string body = R"({"deviceId":"dev-1","agentToken":"tok-1"})";
    std::chrono::milliseconds delay{0}; // waits this long before answering
    bool silent = false;                // reads the request and never answers (the connection stays open)

    static RegistrationAnswer never() {
        RegistrationAnswer answer;
        answer.silent = true;
        return answer;
    }
};

// How the relay answers one WebSocket upgrade on /v1/agent.
struct UpgradeAnswer {
    std::optional<int> refusalStatus; // nothing: accept; else an HTTP answer with this status
    bool silent = false;              // reads the upgrade request and never answers

    static UpgradeAnswer accept() { return {}; }
    static UpgradeAnswer refuse(int status) {
        UpgradeAnswer answer;
        answer.refusalStatus = status;
        return answer;
    }
    static UpgradeAnswer never() {
        UpgradeAnswer answer;
        answer.silent = true;
        return answer;
    }
};

// One frame the relay received on an accepted socket.
struct RelayFrame {
    enum class Kind { text, binary, close };

    Kind kind = Kind::text;
    std::string data;             // the payload of a text or binary frame; empty for a close frame
    std::optional<int> closeCode; // close frames only: the code, nothing for a close frame without one
    std::size_t connection = 0;   // which accepted socket: 1 for the first, 2 for the next, ...
};

// A relay on 127.0.0.1 (a port of its own) speaking HTTPS and WSS with a certificate of `authority`,
// served by a thread of its own. It serves
//   - POST /v1/devices: records the request, answers as scripted (default 201 with
//     {"deviceId":"dev-1","agentToken":"tok-1"});
//   - a WebSocket upgrade on /v1/agent (any query): records the request, accepts or refuses as
//     scripted; on an accepted socket it records every frame it receives (the "ping" texts included)
//     and answers each text frame "ping" with "pong" unless told to stay silent;
//   - anything else: 404.
// Every member may be called from any thread. The destructor stops the thread and drops every connection.
class FakeRelay {
public:
    static constexpr std::chrono::milliseconds defaultWait{10'000};

    // Makes sure the process trusts TestCertificateAuthority::trusted() (SSL_CERT_FILE) whatever
    // `authority` is; pass another authority for a relay the client must refuse.
    explicit FakeRelay(const TestCertificateAuthority& authority = TestCertificateAuthority::trusted());
    ~FakeRelay();
    FakeRelay(const FakeRelay&) = delete;
    FakeRelay& operator=(const FakeRelay&) = delete;

    std::uint16_t port() const noexcept;
    // "https://127.0.0.1:<port>"
    url::Url baseUrl() const;
    // "wss://127.0.0.1:<port>/v1/agent", with "?" and `query` when `query` is not empty.
    url::Url socketUrl(std::string_view query = {}) const;

    // Registration. Each request takes the next answer; the last one answers every later request.
    void scriptRegistrations(std::vector<RegistrationAnswer> answers);
    std::vector<RelayRequest> registrations() const;
    // True once at least `count` registration requests arrived; false when `limit` passed first.
    bool waitForRegistrations(std::size_t count, std::chrono::milliseconds limit = defaultWait) const;

    // Agent socket upgrades. Each upgrade takes the next answer; the last one answers every later
    // upgrade. Default: accept.
    void scriptUpgrades(std::vector<UpgradeAnswer> answers);
    // Every upgrade request on /v1/agent, accepted or not, in arrival order.
    std::vector<RelayRequest> upgrades() const;
    // True once at least `count` sockets were accepted; false when `limit` passed first. The client
    // may not have read the acceptance yet: to know its socket is open, wait for a frame it sent.
    bool waitForConnections(std::size_t count, std::chrono::milliseconds limit = defaultWait) const;
    std::size_t connectionCount() const;
    // True once accepted socket `connection` (1-based) has ended, by either side.
    bool waitForDisconnect(std::size_t connection, std::chrono::milliseconds limit = defaultWait) const;

    // Whether "ping" is answered with "pong" (default true); false simulates a silent relay.
    void answerPings(bool answer);

    // Every frame received so far, in arrival order.
    std::vector<RelayFrame> frames() const;
    // The first frame received (earlier ones included) that `matches`; nothing when `limit` passed first.
    std::optional<RelayFrame> waitForFrame(std::function<bool(const RelayFrame&)> matches,
                                           std::chrono::milliseconds limit = defaultWait) const;

    // Controls acting on the most recently accepted socket, in call order; no effect when it has ended.
    // For a frame over the client's limit send a text of that many bytes plus one.
    void sendText(std::string text);
    void sendBinary(std::string data);
    // Bytes written as they are where a frame goes: a frame the WebSocket layer would never send.
    void sendRawFrame(std::string bytes);
    // A close frame with `code`, or without a code when nothing; the relay then waits for the client's
    // close frame and ends the connection.
    void close(std::optional<int> code);
    // Ends the TCP connection at once, without a close frame.
    void drop();

private:
    std::shared_ptr<relay::Server> server_;
};

} // namespace kestrava::test
