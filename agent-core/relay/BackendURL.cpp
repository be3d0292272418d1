#include "agent-core/relay/BackendURL.hpp"

#include "platform/url/HiddenUserInfo.hpp"

#include <algorithm>
#include <cctype>

namespace kestrava {
namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

namespace BackendURL {

Error::Error(Kind kind, const std::string& description) : std::runtime_error(description), kind_(kind) {}

Error Error::insecure(const std::string& url) {
    return Error(Kind::insecure, "backend URL " + url::hidingUserInfo(url) +
                                     " is not https; plain http is refused in release builds (use a Debug "
                                     "build for local development)");
}

Error Error::unsupportedScheme(const std::string& url) {
    return Error(Kind::unsupportedScheme, "backend URL " + url::hidingUserInfo(url) + " must use https");
}

Error Error::noServer(const std::string& url) {
    return Error(Kind::noServer,
                 "backend URL " + url::hidingUserInfo(url) + " names no host and port to connect to");
}

const url::Url& defaultURL() {
    static const url::Url url = *url::Url::parseReference("https://relay.kestrava.app");
    return url;
}

void validate(const url::Url& url, bool allowHTTP, bool isDebug) {
    const auto scheme = url.scheme();
    if (!scheme) {
        throw Error::unsupportedScheme(url.absoluteString());
    }
    const std::string lowered = lowercase(*scheme);
    if (lowered != "https" && lowered != "http") {
        throw Error::unsupportedScheme(url.absoluteString());
    }
    if (lowered == "http" && !allowHTTP && !isDebug) {
        throw Error::insecure(url.absoluteString());
    }
    if (!url.namesServer()) {
        throw Error::noServer(url.absoluteString());
    }
}

} // namespace BackendURL

std::string backendKey(const url::Url& url) {
    url::Url key = url;
    if (const auto scheme = key.scheme()) {
        key = key.withScheme(lowercase(*scheme));
    }
    if (const auto host = key.encodedHost()) {
        key = key.withEncodedHost(lowercase(*host));
    }
    std::string path = key.encodedPath();
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    return key.withEncodedPath(path).absoluteString();
}

} // namespace kestrava
