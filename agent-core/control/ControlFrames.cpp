#include "agent-core/control/ControlFrames.hpp"

#include "agent-core/control/XPCCoding.hpp"
#include "platform/bytes/Bytes.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "platform/net/LocalSocket.hpp"

#include <array>

namespace kestrava {
namespace {

// The object of a frame; throws ControlProtocolError for anything else.
json::Value objectOf(std::string_view bytes) {
    try {
        json::Value value = json::parse(bytes);
        if (value.asObject()) {
            return value;
        }
    } catch (const json::DecodeError&) {
    }
    throw ControlProtocolError("a control frame that is not a JSON object");
}

std::int64_t callId(const json::ObjectReader& reader) {
    const std::int64_t id = reader.int64("id");
    if (id < 1 || id > maxControlCallId) {
        throw ControlProtocolError("a control call id out of range");
    }
    return id;
}

const json::Array& arrayAt(const json::ObjectReader& reader, std::string_view key) {
    const json::Array* array = reader.value(key).asArray();
    if (!array) {
        throw ControlProtocolError("a control frame whose \"" + std::string(key) + "\" is not an array");
    }
    return *array;
}

template<class Decode>
auto decoded(Decode decode) {
    try {
        return decode();
    } catch (const json::DecodeError& error) {
        throw ControlProtocolError(std::string("a control frame with a missing or ill-typed member: ") +
                                   error.what());
    }
}

} // namespace

std::string ControlRequest::encode() const {
    return json::write(
        json::Object().add("a", arguments).add("id", json::Value::integer(id)).add("m", method),
        XPCCoding::writeOptions);
}

ControlRequest ControlRequest::decode(std::string_view bytes) {
    const json::Value value = objectOf(bytes);
    return decoded([&] {
        const json::ObjectReader reader(value);
        return ControlRequest{callId(reader), reader.string("m"), arrayAt(reader, "a")};
    });
}

std::string ControlReply::encode() const {
    return json::write(json::Object().add("id", json::Value::integer(id)).add("r", values),
                       XPCCoding::writeOptions);
}

ControlReply ControlReply::decode(std::string_view bytes) {
    const json::Value value = objectOf(bytes);
    return decoded([&] {
        const json::ObjectReader reader(value);
        return ControlReply{callId(reader), arrayAt(reader, "r")};
    });
}

std::optional<std::string> readControlFrame(int fd) {
    std::array<std::uint8_t, 4> prefix{};
    if (!net::readExactly(fd, prefix)) {
        return std::nullopt;
    }
    const std::size_t length = (std::size_t{prefix[0]} << 24) | (std::size_t{prefix[1]} << 16) |
                               (std::size_t{prefix[2]} << 8) | std::size_t{prefix[3]};
    if (length == 0 || length > maxControlFrame) {
        return std::nullopt;
    }
    std::string bytes(length, '\0');
    if (!net::readExactly(fd, {reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()})) {
        return std::nullopt;
    }
    return bytes;
}

bool writeControlFrame(int fd, std::string_view bytes) {
    if (bytes.empty() || bytes.size() > maxControlFrame) {
        return false;
    }
    const auto length = static_cast<std::uint32_t>(bytes.size());
    Bytes frame{static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    append(frame, bytesOf(bytes));
    return net::writeAll(fd, frame);
}

} // namespace kestrava
