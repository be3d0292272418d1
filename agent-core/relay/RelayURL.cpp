#include "agent-core/relay/RelayURL.hpp"

#include "platform/url/PercentEncoding.hpp"

#include <algorithm>
#include <string>

namespace kestrava {
namespace {

// Compared without case and without the locale.
bool isHttp(const std::optional<std::string>& scheme) {
    return scheme && std::ranges::equal(*scheme, std::string_view("http"), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
           });
}

} // namespace

url::Url relayWebSocketURL(const url::Url& backend, std::string_view deviceId) {
    // The encoded path is kept as written, so an escaped "/" in it stays escaped.
    std::string path = backend.encodedPath();
    if (path.ends_with('/')) {
        path.pop_back();
    }
    path += "/v1/agent";
    return backend.withScheme(isHttp(backend.scheme()) ? "ws" : "wss")
        .withEncodedPath(path)
        .withEncodedQuery("device=" + url::percentEncode(deviceId, url::isQueryItemCharacter));
}

} // namespace kestrava
