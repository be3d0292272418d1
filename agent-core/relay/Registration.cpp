#include "agent-core/relay/Registration.hpp"

#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "platform/net/Https.hpp"
#include "platform/unicode/Unicode.hpp"
#include "protocol-kit/RelayToken.hpp"

#include <algorithm>

namespace kestrava::Registration {
namespace {

// The device identifier ends up in URLs, signed texts and log lines: only a short, plain one is usable.
void checkUsable(const std::string& value, const std::string& key) {
    if (value.empty()) {
        throw Error::unusableAnswer(key + " is empty");
    }
    if (value.size() > maxAnswerField) {
        throw Error::unusableAnswer(key + " is longer than " + std::to_string(maxAnswerField) + " bytes");
    }
    if (std::ranges::any_of(unicode::scalarsOf(value), unicode::isControl)) {
        throw Error::unusableAnswer(key + " holds a control character");
    }
}

} // namespace

Response Response::decode(const json::ObjectReader& reader) {
    Response response;
    response.deviceId = reader.string("deviceId");
    response.agentToken = reader.string("agentToken");
    return response;
}

Error::Error(Kind kind, std::optional<int> status, const std::string& description)
    : std::runtime_error(description), kind_(kind), status_(status) {}

Error Error::badServerResponse(int status) {
    return Error(Kind::badServerResponse, status,
                 "bad server response (HTTP " + std::to_string(status) + ")");
}

Error Error::unusableAnswer(const std::string& problem) {
    return Error(Kind::unusableAnswer, std::nullopt, "unusable registration answer: " + problem);
}

Response registerDevice(const url::Url& backend, const std::string& macName,
                        std::chrono::seconds requestLimit) {
    const json::Object body = json::Object().add("v", json::Value::integer(1)).add("macName", macName);
    const net::HttpResponse answer = net::fetch("POST", backend.appendingPathComponent("v1/devices"),
                                                {{"Content-Type", "application/json"}, {"x-kv-v", "1"}},
                                                json::write(body, {}), requestLimit, maxAnswerBody);
    if (answer.status != 200 && answer.status != 201) {
        throw Error::badServerResponse(answer.status);
    }
    Response response = Response::decode(json::ObjectReader(json::parse(answer.body)));
    checkUsable(response.deviceId, "deviceId");
    if (const auto problem = relayTokenProblem(response.agentToken)) {
        throw Error::unusableAnswer("agentToken " + *problem);
    }
    return response;
}

} // namespace kestrava::Registration
