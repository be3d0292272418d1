#include "agent-core/control/AgentXPCClient.hpp"

#include "agent-core/control/ControlFrames.hpp"
#include "platform/net/LocalSocket.hpp"
#include "platform/process/Descriptor.hpp"

#include <charconv>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace kestrava {
namespace {

// Why a connection ended when its socket did, whichever end closed it.
constexpr const char* closedReason = "connection to the agent closed";

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

// What the client shares with its two threads.
struct AgentXPCClient::Link {
    struct Call {
        std::function<void(const json::Array&)>
            reply; // throws ControlProtocolError for values it cannot read
        OnError onError;
    };
    struct Request {
        std::string frame;
        OnError onError; // a one-way call's: it has no Call to fail through
    };

    explicit Link(OnError onClosed) : onClosed(std::move(onClosed)) {}

    void readReplies();
    void writeRequests();
    // Fails every call in flight or queued, and ends the socket; `reportFailures` then tells them.
    void fail(const std::string& reason);
    // Runs each failed call's onError, then onClosed once: one at a time and outside the lock, so that a
    // client destroyed by one of them can tell the rest itself before its destructor returns.
    void reportFailures();
    // Ends both directions of the socket; the reader then fails what is left. The caller holds `lock`.
    void shutDown();

    const OnError onClosed;
    std::mutex lock;
    std::condition_variable queued;
    process::Descriptor socket;            // set before the threads start, closed when the last one ends
    bool shut = false;                     // guarded by lock
    std::optional<std::string> failure;    // guarded by lock: why the connection is gone
    std::int64_t lastId = 0;               // guarded by lock
    std::map<std::int64_t, Call> inFlight; // guarded by lock
    std::deque<Request> unwritten;         // guarded by lock: in call order, the first one being written
    std::deque<OnError> unreported;        // guarded by lock: of the calls failed, not yet told
    bool closedReported = false;           // guarded by lock
};

AgentXPCClient::AgentXPCClient(const std::filesystem::path& path, OnError onClosed)
    : link_(std::make_shared<Link>(std::move(onClosed))) {
    try {
        link_->socket = net::connectLocal(path);
        // The socket's folder is the user's own; whoever else listens there is not the user's agent.
        if (const uid_t peer = net::peerCredentials(link_->socket.get()).uid; peer != ::geteuid()) {
            link_->failure =
                "the control socket's peer runs as uid " + std::to_string(peer) + ", not as this user";
            link_->socket.reset();
            return;
        }
    } catch (const std::exception& error) {
        link_->failure = error.what();
        return;
    }
    try {
        reader_ = std::thread([link = link_] { link->readReplies(); });
        writer_ = std::thread([link = link_] { link->writeRequests(); });
    } catch (const std::system_error& error) {
        link_->fail(std::string("cannot start the control client: ") + error.what());
    }
}

AgentXPCClient::~AgentXPCClient() {
    invalidate();
    // A thread that lets go of the client itself, inside a callback or by dropping one, ends right after.
    const auto finish = [](std::thread& thread) {
        if (!thread.joinable()) {
            return;
        }
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach();
        } else {
            thread.join();
        }
    };
    finish(writer_);
    const bool onReader = reader_.get_id() == std::this_thread::get_id();
    finish(reader_);
    if (onReader) {
        // Joining would have let the reader tell every failure; nothing may be told once this returns.
        link_->fail(closedReason);
        link_->reportFailures();
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
    const std::lock_guard held(link_->lock);
    link_->shutDown();
}

bool AgentXPCClient::hasUnwrittenRequests() {
    const std::lock_guard held(link_->lock);
    return !link_->unwritten.empty();
}

void AgentXPCClient::send(const std::string& method, json::Array arguments,
                          std::function<void(const json::Array&)> reply, OnError onError) {
    std::unique_lock held(link_->lock);
    if (link_->failure) {
        const std::string reason = *link_->failure;
        held.unlock();
        if (onError) {
            onError(reason);
        }
        return;
    }
    const std::int64_t id = ++link_->lastId;
    std::string frame = ControlRequest{id, method, std::move(arguments)}.encode();
    if (reply) {
        link_->inFlight.emplace(id, Link::Call{std::move(reply), std::move(onError)});
        link_->unwritten.push_back({std::move(frame), {}});
    } else {
        link_->unwritten.push_back({std::move(frame), std::move(onError)});
    }
    held.unlock();
    link_->queued.notify_one();
}

void AgentXPCClient::Link::writeRequests() {
    while (true) {
        std::string frame;
        {
            std::unique_lock held(lock);
            queued.wait(held, [&] { return shut || !unwritten.empty(); });
            if (shut) {
                return;
            }
            frame = unwritten.front().frame;
        }
        // Written without the lock: callers queue and the reader matches replies while the agent is slow
        // to read.
        const bool written = writeControlFrame(socket.get(), frame);
        // Declared before the lock, so destroyed after it is released: it may hold the last reference to
        // the client.
        OnError sent;
        const std::lock_guard held(lock);
        if (!written) {
            // The reader meets the same end and fails what is still queued.
            shutDown();
        }
        if (shut) {
            return;
        }
        sent = std::move(unwritten.front().onError);
        unwritten.pop_front();
    }
}

void AgentXPCClient::Link::readReplies() {
    std::string reason = closedReason;
    try {
        while (const auto frame = readControlFrame(socket.get())) {
            const ControlReply reply = ControlReply::decode(*frame);
            // Taken out under the lock and destroyed after it: it may hold the last reference to the client.
            decltype(inFlight)::node_type call;
            {
                const std::lock_guard held(lock);
                call = inFlight.extract(reply.id);
            }
            if (!call) {
                throw ControlProtocolError("a control reply to no call in flight");
            }
            try {
                call.mapped().reply(reply.values);
            } catch (const ControlProtocolError& error) {
                if (call.mapped().onError) {
                    call.mapped().onError(error.what());
                }
                throw;
            }
        }
    } catch (const ControlProtocolError& error) {
        reason = error.what();
    }
    fail(reason);
    reportFailures();
}

void AgentXPCClient::Link::fail(const std::string& reason) {
    // Declared before the lock, so destroyed after it is released: the calls' replies may hold the last
    // reference to the client.
    std::map<std::int64_t, Call> failed;
    const std::lock_guard held(lock);
    if (!failure) {
        failure = reason;
    }
    failed = std::exchange(inFlight, {});
    for (auto& [id, call] : failed) {
        if (call.onError) {
            unreported.push_back(std::move(call.onError));
        }
    }
    for (Request& request : unwritten) {
        if (request.onError) {
            unreported.push_back(std::move(request.onError));
        }
    }
    unwritten.clear();
    shutDown();
}

void AgentXPCClient::Link::reportFailures() {
    while (true) {
        OnError next;
        std::string reason;
        {
            const std::lock_guard held(lock);
            reason = failure.value();
            if (!unreported.empty()) {
                next = std::move(unreported.front());
                unreported.pop_front();
            } else if (!std::exchange(closedReported, true)) {
                next = onClosed;
            }
        }
        if (!next) {
            return;
        }
        next(reason);
    }
}

void AgentXPCClient::Link::shutDown() {
    if (shut || !socket.isOpen()) {
        return;
    }
    shut = true;
    ::shutdown(socket.get(), SHUT_RDWR);
    queued.notify_all();
}

} // namespace kestrava
