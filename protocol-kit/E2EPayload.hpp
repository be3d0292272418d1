#pragma once

#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "protocol-kit/SignedCommand.hpp"
#include "protocol-kit/StatusSnapshot.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace kestrava {

// What a sealed box carries: a command from a phone, or output, a result, a refusal or the machine's
// status from the agent.
struct E2EPayload {
    struct Command {
        SignedCommand command;
        bool operator==(const Command&) const = default;
    };
    struct Out {
        std::string id;
        std::string stream; // "stdout" or "stderr"
        std::string data;
        bool operator==(const Out&) const = default;
    };
    struct Done {
        std::string id;
        std::optional<std::int32_t> exitCode; // none when the command did not exit normally
        std::int64_t durationMs = 0;
        bool truncated = false;
        bool timedOut = false;
        bool operator==(const Done&) const = default;
    };
    struct Rejected {
        std::string id;
        std::string reason;
        bool operator==(const Rejected&) const = default;
    };
    struct Status {
        StatusSnapshot status;
        bool operator==(const Status&) const = default;
    };

    std::variant<Command, Out, Done, Rejected, Status> value;

    json::Object encode() const;
    static E2EPayload decode(const json::ObjectReader& reader);

    bool operator==(const E2EPayload&) const = default;
};

} // namespace kestrava
