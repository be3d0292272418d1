#pragma once

#include "platform/url/Url.hpp"

#include <optional>
#include <string>

// Internal to platform/net.
namespace kestrava::net {

// Where a request goes, read from an "http", "https", "ws" or "wss" URL (schemes in any case).
struct Endpoint {
    bool secure = false;
    std::string host;           // percent-decoded, an IPv6 address without brackets
    bool hostIsAddress = false; // an IP literal: no server name is sent and the address is checked
    std::string port;           // the service for the resolver
    std::string hostHeader;     // the host as written (IPv6 in brackets), ":port" only for a non-default port
    std::string target;         // the encoded path ("/" when empty), then "?" and the query when present

    // Nothing for another scheme or a URL that names no server (see url::Url::namesServer).
    static std::optional<Endpoint> of(const url::Url& url);
};

} // namespace kestrava::net
