#pragma once

#include "app/async/Result.hpp"

#include <string>

namespace kestrava::app {

// Why a call to the agent ended without its answer.
struct AgentClientError {
    enum class Kind {
        connection,  // the link reported an error for the call; `text` says which
        timeout,     // no reply within the client's time-out
        unavailable, // no way to reach the agent; also: no pairing link came back
        badReply,    // a JSON reply was missing where one is required, or did not decode
    };

    Kind kind;
    std::string text; // for `connection` only

    static AgentClientError connection(std::string text) { return {Kind::connection, std::move(text)}; }
    static AgentClientError timeout() { return {Kind::timeout, {}}; }
    static AgentClientError unavailable() { return {Kind::unavailable, {}}; }
    static AgentClientError badReply() { return {Kind::badReply, {}}; }

    bool operator==(const AgentClientError&) const = default;
};

template<class T>
using AgentResult = Result<T, AgentClientError>;

} // namespace kestrava::app
