#include "agent-core/relay/Registration.hpp"

#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "platform/net/Https.hpp"
#include "platform/unicode/Unicode.hpp"

#include <algorithm>

namespace kestrava::Registration {
namespace {

// Relay texts end up in request headers, signed texts and log lines: only short, plain ones are usable.
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

void checkVisibleAscii(const std::string& value, const std::string& key) {
    if (!std::ranges::all_of(value, [](unsigned char byte) { return byte >= 0x21 && byte <= 0x7E; })) {
        throw Error::unusableAnswer(key + " is not visible ASCII");
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
    checkUsable(response.agentToken, "agentToken");
    checkVisibleAscii(response.agentToken, "agentToken");
    return response;
}

} // namespace kestrava::Registration
