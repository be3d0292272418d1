#pragma once

#include "platform/json/ObjectReader.hpp"
#include "platform/url/Url.hpp"

#include <chrono>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

namespace kestrava {

// Announces this machine to the relay's backend, which answers with a new device identifier and the
// relay token the agent then presents.
namespace Registration {

struct Response {
    std::string deviceId;
    std::string agentToken;

    static Response decode(const json::ObjectReader& reader);
    bool operator==(const Response&) const = default;
};

// A registration the relay answered but did not grant; what() is the text for the log.
class Error : public std::runtime_error {
public:
    enum class Kind { badServerResponse, unusableAnswer };

    // "bad server response (HTTP <status>)"
    static Error badServerResponse(int status);
    // An answer whose identifier or token the agent cannot safely use.
    static Error unusableAnswer(const std::string& problem);

    Kind kind() const noexcept { return kind_; }
    // The HTTP status of a bad server response.
    std::optional<int> status() const noexcept { return status_; }

private:
    Error(Kind kind, std::optional<int> status, const std::string& description);

    Kind kind_;
    std::optional<int> status_;
};

// Largest answer body read, and the longest device identifier accepted (the token's bound is the relay
// token's own).
inline constexpr std::size_t maxAnswerBody = 64 * 1024;
inline constexpr std::size_t maxAnswerField = 256;

// One POST of "v1/devices" below `backend`, blocking the calling thread for up to `requestLimit` per
// step. Throws net::NetError (transport), json::DecodeError (an answer of another shape) or Error.
Response registerDevice(const url::Url& backend, const std::string& macName,
                        std::chrono::seconds requestLimit = std::chrono::seconds(60));

} // namespace Registration
} // namespace kestrava
