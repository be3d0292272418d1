#include "tests/support/ControlClient.hpp"

#include "agent-core/control/XPCCoding.hpp"

#include <chrono>
#include <future>
#include <memory>

namespace kestrava::test {
namespace {

// Makes one call of `client` and waits for its answer.
template<class Answer, class Call>
Answer answer(Call call) {
    const auto promise = std::make_shared<std::promise<Answer>>();
    auto future = promise->get_future();
    call([promise](Answer value) { promise->set_value(std::move(value)); },
         [promise](const std::string& reason) {
             promise->set_exception(std::make_exception_ptr(ControlClient::Lost(reason)));
         });
    if (future.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        throw ControlClient::Lost("no answer within 20 s");
    }
    return future.get();
}

template<class Value>
std::optional<Value> decoded(const std::optional<std::string>& text) {
    return text ? std::optional<Value>(XPCCoding::decode<Value>(*text)) : std::nullopt;
}

} // namespace

std::optional<AgentStatus> ControlClient::status() {
    return decoded<AgentStatus>(answer<std::optional<std::string>>(
        [&](auto reply, auto onError) { client_.status(std::move(reply), std::move(onError)); }));
}

std::optional<std::pair<std::string, double>> ControlClient::openPairing() {
    const auto opened = answer<std::pair<std::optional<std::string>, double>>([&](auto reply, auto onError) {
        client_.openPairing(
            [reply](std::optional<std::string> link, double expiresAt) {
                reply({link, expiresAt});
            },
            std::move(onError));
    });
    return opened.first ? std::optional(std::pair(*opened.first, opened.second)) : std::nullopt;
}

PairingOutcome ControlClient::decide(const std::string& requestId, bool approve) {
    return XPCCoding::decode<PairingOutcome>(
        answer<std::optional<std::string>>([&](auto reply, auto onError) {
            client_.decide(requestId, approve, std::move(reply), std::move(onError));
        }).value());
}

std::vector<PhoneInfo> ControlClient::phones() {
    return XPCCoding::decode<std::vector<PhoneInfo>>(
        answer<std::optional<std::string>>([&](auto reply, auto onError) {
            client_.phones(std::move(reply), std::move(onError));
        }).value());
}

bool ControlClient::revoke(const std::string& phoneId) {
    return answer<bool>(
        [&](auto reply, auto onError) { client_.revoke(phoneId, std::move(reply), std::move(onError)); });
}

bool ControlClient::reregister() {
    return answer<bool>(
        [&](auto reply, auto onError) { client_.reregister(std::move(reply), std::move(onError)); });
}

bool ControlClient::hasFullDiskAccess() {
    return answer<bool>(
        [&](auto reply, auto onError) { client_.hasFullDiskAccess(std::move(reply), std::move(onError)); });
}

std::optional<PendingPairingInfo> ControlClient::pendingPairing() {
    return decoded<PendingPairingInfo>(answer<std::optional<std::string>>(
        [&](auto reply, auto onError) { client_.pendingPairing(std::move(reply), std::move(onError)); }));
}

} // namespace kestrava::test
