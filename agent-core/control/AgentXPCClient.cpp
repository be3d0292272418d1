#include "agent-core/control/AgentXPCClient.hpp"

#include "agent-core/control/ControlFrames.hpp"
#include "platform/net/LocalSocket.hpp"

#include <charconv>
#include <exception>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace kestrava {
namespace {

const json::Value& onlyValue(const json::Array& values, std::size_t count, std::size_t index) {
    if (values.size() != count) {
        throw ControlProtocolError("a control reply with another number of values");
    }
    return values[index];
}

std::optional<std::string> dataOf(const json::Value& value) {
    if (value.isNull()) {
        return std::nullopt;
    }
    if (const std::string* text = value.asString()) {
        return *text;
    }
    throw ControlProtocolError("a control reply whose data is neither text nor null");
}

bool booleanOf(const json::Value& value) {
    if (const bool* flag = value.asBool()) {
        return *flag;
    }
    throw ControlProtocolError("a control reply that is not a boolean");
}

double numberOf(const json::Value& value) {
    const json::Number* number = value.asNumber();
    double parsed = 0;
    if (!number ||
        std::from_chars(number->text.data(), number->text.data() + number->text.size(), parsed).ec !=
            std::errc()) {
        throw ControlProtocolError("a control reply that is not a number");
    }
    return parsed;
}

// A reply of one data value.
std::function<void(const json::Array&)> dataReply(AgentXPCClient::Reply<std::optional<std::string>> reply) {
    return [reply = std::move(reply)](const json::Array& values) { reply(dataOf(onlyValue(values, 1, 0))); };
}

std::function<void(const json::Array&)> booleanReply(AgentXPCClient::Reply<bool> reply) {
    return
        [reply = std::move(reply)](const json::Array& values) { reply(booleanOf(onlyValue(values, 1, 0))); };
}

} // namespace

AgentXPCClient::AgentXPCClient(const std::filesystem::path& path, OnError onClosed)
    : onClosed_(std::move(onClosed)) {
    try {
        socket_ = net::connectLocal(path);
        // The socket's folder is the user's own; whoever else listens there is not the user's agent.
        if (const uid_t peer = net::peerCredentials(socket_.get()).uid; peer != ::geteuid()) {
            failure_ = "the control socket's peer runs as uid " + std::to_string(peer) + ", not as this user";
            socket_.reset();
            return;
        }
    } catch (const std::exception& error) {
        failure_ = error.what();
        return;
    }
    reader_ = std::thread([this] { readReplies(); });
}

AgentXPCClient::~AgentXPCClient() {
    invalidate();
    if (reader_.joinable()) {
        // Let go inside one of its own callbacks: the reader ends by itself right after.
        if (reader_.get_id() == std::this_thread::get_id()) {
            reader_.detach();
        } else {
            reader_.join();
        }
    }
}

void AgentXPCClient::status(Reply<std::optional<std::string>> reply, OnError onError) {
    send("statusWithReply:", {}, dataReply(std::move(reply)), std::move(onError));
}

void AgentXPCClient::openPairing(Reply<std::optional<std::string>, double> reply, OnError onError) {
    send(
        "openPairingWithReply:", {},
        [reply = std::move(reply)](const json::Array& values) {
            reply(dataOf(onlyValue(values, 2, 0)), numberOf(values[1]));
        },
        std::move(onError));
}

void AgentXPCClient::cancelPairing(OnError onError) {
    send("cancelPairing", {}, nullptr, std::move(onError));
}

void AgentXPCClient::decide(const std::string& requestId, bool approve,
                            Reply<std::optional<std::string>> reply, OnError onError) {
    send("decideWithRequestId:approve:reply:", {requestId, approve}, dataReply(std::move(reply)),
         std::move(onError));
}

void AgentXPCClient::phones(Reply<std::optional<std::string>> reply, OnError onError) {
    send("phonesWithReply:", {}, dataReply(std::move(reply)), std::move(onError));
}

void AgentXPCClient::revoke(const std::string& phoneId, Reply<bool> reply, OnError onError) {
    send("revokeWithPhoneId:reply:", {phoneId}, booleanReply(std::move(reply)), std::move(onError));
}

void AgentXPCClient::setMonitoringPaused(bool paused, OnError onError) {
    send("setMonitoringPaused:", {paused}, nullptr, std::move(onError));
}

void AgentXPCClient::reregister(Reply<bool> reply, OnError onError) {
    send("reregisterWithReply:", {}, booleanReply(std::move(reply)), std::move(onError));
}

void AgentXPCClient::hasFullDiskAccess(Reply<bool> reply, OnError onError) {
    send("hasFullDiskAccessWithReply:", {}, booleanReply(std::move(reply)), std::move(onError));
}

void AgentXPCClient::pendingPairing(Reply<std::optional<std::string>> reply, OnError onError) {
    send("pendingPairingWithReply:", {}, dataReply(std::move(reply)), std::move(onError));
}

void AgentXPCClient::invalidate() {
    const std::lock_guard held(lock_);
    if (socket_.isOpen()) {
        // The reader sees the end and fails what is still in flight.
        ::shutdown(socket_.get(), SHUT_RDWR);
    }
}

void AgentXPCClient::send(const std::string& method, json::Array arguments,
                          std::function<void(const json::Array&)> reply, OnError onError) {
    std::unique_lock held(lock_);
    if (failure_) {
        const std::string reason = *failure_;
        held.unlock();
        if (onError) {
            onError(reason);
        }
        return;
    }
    const std::int64_t id = ++lastId_;
    if (reply) {
        inFlight_.emplace(id, Call{std::move(reply), std::move(onError)});
    }
    if (!writeControlFrame(socket_.get(), ControlRequest{id, method, std::move(arguments)}.encode())) {
        // The reader meets the same failure and fails this call with the others.
        ::shutdown(socket_.get(), SHUT_RDWR);
        if (!reply && onError) {
            held.unlock();
            onError("connection to the agent lost");
        }
    }
}

void AgentXPCClient::readReplies() {
    std::string reason = "connection to the agent closed";
    try {
        while (const auto frame = readControlFrame(socket_.get())) {
            const ControlReply reply = ControlReply::decode(*frame);
            std::optional<Call> call;
            {
                const std::lock_guard held(lock_);
                if (const auto found = inFlight_.find(reply.id); found != inFlight_.end()) {
                    call = std::move(found->second);
                    inFlight_.erase(found);
                }
            }
            if (!call) {
                throw ControlProtocolError("a control reply to no call in flight");
            }
            try {
                call->reply(reply.values);
            } catch (const ControlProtocolError& error) {
                if (call->onError) {
                    call->onError(error.what());
                }
                throw;
            }
        }
    } catch (const ControlProtocolError& error) {
        reason = error.what();
    }
    fail(reason);
    if (onClosed_) {
        onClosed_(reason);
    }
}

void AgentXPCClient::fail(const std::string& reason) {
    std::map<std::int64_t, Call> failed;
    {
        const std::lock_guard held(lock_);
        if (!failure_) {
            failure_ = reason;
        }
        failed = std::move(inFlight_);
        inFlight_.clear();
        if (socket_.isOpen()) {
            ::shutdown(socket_.get(), SHUT_RDWR);
        }
    }
    for (auto& [id, call] : failed) {
        if (call.onError) {
            call.onError(reason);
        }
    }
}

} // namespace kestrava
