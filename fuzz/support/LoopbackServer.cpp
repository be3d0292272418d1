#include "fuzz/support/LoopbackServer.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace kestrava::fuzz {
namespace {

constexpr std::string_view blankLine = "\r\n\r\n";

// The harness cannot go on without its server.
[[noreturn]] void failed(const char* call) {
    std::perror(call);
    std::abort();
}

// The request up to and including its blank line; nothing when the client hung up before it.
std::optional<std::string> readHead(int connection) {
    std::string received;
    std::array<char, 4096> chunk{};
    while (received.find(blankLine) == std::string::npos) {
        const auto count = ::recv(connection, chunk.data(), chunk.size(), 0);
        if (count <= 0) {
            return std::nullopt;
        }
        received.append(chunk.data(), static_cast<std::size_t>(count));
    }
    received.resize(received.find(blankLine) + blankLine.size());
    return received;
}

void writeAll(int connection, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto count = ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (count < 0) {
            return; // the client stopped reading and hung up
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
}

void waitForHangUp(int connection) {
    std::array<char, 4096> chunk{};
    while (::recv(connection, chunk.data(), chunk.size(), 0) > 0) {
    }
}

} // namespace

struct LoopbackServer::Shared {
    Answer answer;
    std::mutex mutex;
    std::string input;

    void serve(int listener) {
        // Signals are the fuzzing thread's (libFuzzer's timeout alarm among them); none interrupts a call
        // here.
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        for (;;) {
            const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0 && errno == ECONNABORTED) {
                continue; // reset while it waited in the backlog
            }
            if (connection < 0) {
                failed("accept4");
            }
            converse(connection);
            ::close(connection);
        }
    }

    void converse(int connection) {
        const auto head = readHead(connection);
        if (!head) {
            return;
        }
        std::string bytes;
        {
            const std::lock_guard lock(mutex);
            bytes = answer(*head, input);
        }
        writeAll(connection, bytes);
        ::shutdown(connection, SHUT_WR);
        waitForHangUp(connection);
    }
};

LoopbackServer::LoopbackServer(Answer answer) : shared_(std::make_shared<Shared>()) {
    shared_->answer = std::move(answer);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        failed("socket");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        failed("bind");
    }
    if (::listen(listener, SOMAXCONN) != 0) {
        failed("listen");
    }
    if (::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        failed("getsockname");
    }
    port_ = ntohs(address.sin_port);
    std::thread([shared = shared_, listener] { shared->serve(listener); }).detach();
}

void LoopbackServer::setInput(std::string_view input) {
    const std::lock_guard lock(shared_->mutex);
    shared_->input = input;
}

} // namespace kestrava::fuzz
