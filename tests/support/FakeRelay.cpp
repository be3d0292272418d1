#include "tests/support/FakeRelay.hpp"

#include "tests/support/FakeRelayServer.hpp"

#include <algorithm>

namespace kestrava::test {

std::optional<std::string> RelayRequest::header(std::string_view name) const {
    const auto found = std::find_if(headers.begin(), headers.end(), [&](const auto& header) {
        return boost::beast::iequals(header.first, name);
    });
    return found == headers.end() ? std::nullopt : std::optional<std::string>(found->second);
}

FakeRelay::FakeRelay(const TestCertificateAuthority& authority) {
    TestCertificateAuthority::trusted();
    server_ = std::make_shared<relay::Server>(authority);
}

FakeRelay::~FakeRelay() = default;

std::uint16_t FakeRelay::port() const noexcept {
    return server_->port;
}

url::Url FakeRelay::baseUrl() const {
    return url::Url::parseReference("https://127.0.0.1:" + std::to_string(port())).value();
}

url::Url FakeRelay::socketUrl(std::string_view query) const {
    std::string text = "wss://127.0.0.1:";
    text.append(std::to_string(port())).append("/v1/agent");
    if (!query.empty()) {
        text.append("?").append(query);
    }
    return url::Url::parseReference(text).value();
}

void FakeRelay::scriptRegistrations(std::vector<RegistrationAnswer> answers) {
    server_->change([&] {
        server_->registrationScript = std::move(answers);
        server_->registrationAnswersUsed = 0;
    });
}

std::vector<RelayRequest> FakeRelay::registrations() const {
    const std::lock_guard lock(server_->mutex);
    return server_->registrations;
}

bool FakeRelay::waitForRegistrations(std::size_t count, std::chrono::milliseconds limit) const {
    return server_->waitUntil(limit, [&] { return server_->registrations.size() >= count; });
}

void FakeRelay::scriptUpgrades(std::vector<UpgradeAnswer> answers) {
    server_->change([&] {
        server_->upgradeScript = std::move(answers);
        server_->upgradeAnswersUsed = 0;
    });
}

std::vector<RelayRequest> FakeRelay::upgrades() const {
    const std::lock_guard lock(server_->mutex);
    return server_->upgrades;
}

bool FakeRelay::waitForConnections(std::size_t count, std::chrono::milliseconds limit) const {
    return server_->waitUntil(limit, [&] { return server_->sockets.size() >= count; });
}

std::size_t FakeRelay::connectionCount() const {
    const std::lock_guard lock(server_->mutex);
    return server_->sockets.size();
}

bool FakeRelay::waitForDisconnect(std::size_t connection, std::chrono::milliseconds limit) const {
    return server_->waitUntil(limit, [&] {
        return connection >= 1 && server_->sockets.size() >= connection &&
               server_->sockets[connection - 1]->ended;
    });
}

void FakeRelay::answerPings(bool answer) {
    server_->change([&] { server_->answersPings = answer; });
}

std::vector<RelayFrame> FakeRelay::frames() const {
    const std::lock_guard lock(server_->mutex);
    return server_->frames;
}

std::optional<RelayFrame> FakeRelay::waitForFrame(std::function<bool(const RelayFrame&)> matches,
                                                  std::chrono::milliseconds limit) const {
    std::optional<RelayFrame> found;
    server_->waitUntil(limit, [&] {
        const auto& frames = server_->frames;
        const auto match = std::find_if(frames.begin(), frames.end(), matches);
        if (match != frames.end()) {
            found = *match;
        }
        return found.has_value();
    });
    return found;
}

void FakeRelay::sendText(std::string text) {
    server_->control({relay::Control::Kind::text, std::move(text), std::nullopt});
}

void FakeRelay::sendBinary(std::string data) {
    server_->control({relay::Control::Kind::binary, std::move(data), std::nullopt});
}

void FakeRelay::sendRawFrame(std::string bytes) {
    server_->control({relay::Control::Kind::rawFrame, std::move(bytes), std::nullopt});
}

void FakeRelay::close(std::optional<int> code) {
    server_->control({relay::Control::Kind::close, {}, code});
}

void FakeRelay::drop() {
    server_->control({relay::Control::Kind::drop, {}, std::nullopt});
}

} // namespace kestrava::test
