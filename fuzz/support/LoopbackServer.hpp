#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kestrava::fuzz {

// A TCP server on 127.0.0.1 playing the far side of a client under fuzzing. A thread of its own serves one
// connection at a time until the process ends: it reads the request's head, writes its answer, shuts its
// sending side and reads until the client hangs up. The client so gets every byte and then a clean end of
// stream; closing with its bytes unread would reset the connection instead.
class LoopbackServer {
public:
    // The bytes to write for a request head (up to its blank line), given the current input.
    using Answer = std::function<std::string(std::string_view requestHead, std::string_view input)>;

    // Listens on an ephemeral port.
    explicit LoopbackServer(Answer answer);

    std::uint16_t port() const { return port_; }

    // The input for the requests read from now on.
    void setInput(std::string_view input);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_; // also held by the thread, which outlives this object
    std::uint16_t port_ = 0;
};

} // namespace kestrava::fuzz
