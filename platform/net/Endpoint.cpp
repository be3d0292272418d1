#include "platform/net/Endpoint.hpp"

#include <boost/url/parse.hpp>

namespace kestrava::net {

std::optional<Endpoint> Endpoint::of(const url::Url& url) {
    if (!url.namesServer()) {
        return std::nullopt;
    }
    const auto parsed = boost::urls::parse_uri(url.absoluteString());
    if (!parsed) {
        return std::nullopt;
    }
    const boost::urls::url_view& view = *parsed;
    Endpoint endpoint;
    std::uint16_t defaultPort = 0;
    switch (view.scheme_id()) {
    case boost::urls::scheme::http:
    case boost::urls::scheme::ws:
        defaultPort = 80;
        break;
    case boost::urls::scheme::https:
    case boost::urls::scheme::wss:
        endpoint.secure = true;
        defaultPort = 443;
        break;
    default:
        return std::nullopt;
    }
    const auto hostType = view.host_type();
    endpoint.host = view.host_address();
    endpoint.hostIsAddress = hostType != boost::urls::host_type::name;

    const bool explicitPort = view.has_port() && !view.port().empty();
    const std::uint16_t port = explicitPort ? view.port_number() : defaultPort;
    endpoint.port = std::to_string(port);
    const std::string writtenHost(view.encoded_host_address());
    endpoint.hostHeader = hostType == boost::urls::host_type::ipv6 ? '[' + writtenHost + ']' : writtenHost;
    if (port != defaultPort) {
        endpoint.hostHeader.append(":").append(endpoint.port);
    }

    endpoint.target = view.encoded_path().empty() ? "/" : std::string(view.encoded_path());
    if (view.has_query()) {
        endpoint.target.append("?").append(view.encoded_query());
    }
    return endpoint;
}

} // namespace kestrava::net
