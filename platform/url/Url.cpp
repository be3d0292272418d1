#include "platform/url/Url.hpp"

#include "platform/url/PercentEncoding.hpp"

#include <boost/url/parse.hpp>
#include <boost/url/url.hpp>

namespace kestrava::url {
namespace {

// Boost.URL 1.81 lets a path follow the authority without its leading "/" ("https://a:8x/",
// "https://a@b@c/"); RFC 3986 allows only an empty path or one that starts with "/" there.
bool isStrictReference(std::string_view text) {
    const auto view = boost::urls::parse_uri_reference(text);
    if (!view) {
        return false;
    }
    const auto path = view->encoded_path();
    return !view->has_authority() || path.empty() || path.front() == '/';
}

// Only called on text that parseReference accepted, so the parse cannot fail.
boost::urls::url_view viewOf(const std::string& text) {
    return boost::urls::parse_uri_reference(text).value();
}

} // namespace

std::optional<Url> Url::parseReference(std::string_view text) {
    if (!isStrictReference(text)) {
        return std::nullopt;
    }
    return Url(std::string(text));
}

std::optional<std::string> Url::scheme() const {
    const auto view = viewOf(text_);
    if (!view.has_scheme()) {
        return std::nullopt;
    }
    return std::string(view.scheme());
}

std::optional<std::string> Url::host() const {
    const auto view = viewOf(text_);
    if (!view.has_authority()) {
        return std::nullopt;
    }
    return percentDecode(view.encoded_host_address());
}

bool Url::namesServer() const {
    const auto view = viewOf(text_);
    const auto type = view.host_type();
    if (!view.has_authority() || type == boost::urls::host_type::none ||
        type == boost::urls::host_type::ipvfuture) {
        return false;
    }
    const auto decodedHost = host();
    if (!decodedHost || decodedHost->empty() || decodedHost->find('\0') != std::string::npos) {
        return false;
    }
    // The grammar only lets digits through; their value is unbounded.
    std::string_view port = view.port();
    while (port.size() > 1 && port.front() == '0') {
        port.remove_prefix(1);
    }
    return port.empty() || (port.size() <= 5 && port != "0" && std::stoul(std::string(port)) <= 65535);
}

std::optional<std::string> Url::encodedHost() const {
    const auto view = viewOf(text_);
    if (!view.has_authority()) {
        return std::nullopt;
    }
    return std::string(view.encoded_host());
}

std::string Url::encodedPath() const {
    return std::string(viewOf(text_).encoded_path());
}

Url Url::withScheme(std::string_view scheme) const {
    boost::urls::url copy(viewOf(text_));
    copy.set_scheme(scheme);
    return Url(std::string(copy.buffer()));
}

Url Url::withEncodedHost(std::string_view host) const {
    boost::urls::url copy(viewOf(text_));
    copy.set_encoded_host(host);
    return Url(std::string(copy.buffer()));
}

Url Url::withEncodedPath(std::string_view path) const {
    boost::urls::url copy(viewOf(text_));
    copy.set_encoded_path(path);
    return Url(std::string(copy.buffer()));
}

Url Url::withEncodedQuery(std::string_view query) const {
    boost::urls::url copy(viewOf(text_));
    copy.set_encoded_query(query);
    return Url(std::string(copy.buffer()));
}

Url Url::appendingPathComponent(std::string_view component) const {
    std::string path = encodedPath();
    if (!path.ends_with('/')) {
        path.push_back('/');
    }
    path += component;
    return withEncodedPath(path);
}

std::optional<std::string> Url::percentEncodedQuery() const {
    const auto view = viewOf(text_);
    if (!view.has_query()) {
        return std::nullopt;
    }
    return std::string(view.encoded_query());
}

std::optional<std::vector<Url::QueryItem>> Url::percentEncodedQueryItems() const {
    const auto query = percentEncodedQuery();
    if (!query) {
        return std::nullopt;
    }
    std::vector<QueryItem> items;
    if (query->empty()) {
        return items;
    }
    std::string_view rest = *query;
    while (true) {
        const auto end = rest.find('&');
        const std::string_view item = rest.substr(0, end);
        const auto equals = item.find('=');
        if (equals == std::string_view::npos) {
            items.push_back({std::string(item), std::nullopt});
        } else {
            items.push_back({std::string(item.substr(0, equals)), std::string(item.substr(equals + 1))});
        }
        if (end == std::string_view::npos) {
            return items;
        }
        rest.remove_prefix(end + 1);
    }
}

} // namespace kestrava::url
