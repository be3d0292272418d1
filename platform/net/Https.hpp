#pragma once

#include "platform/url/Url.hpp"

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kestrava::net {

// A failed exchange: the stage and the system's text, e.g. "connect: Connection refused",
// "TLS handshake: certificate verify failed", "read: body too large".
class NetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct HttpResponse {
    int status = 0;
    std::string body;
};

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// One HTTP/1.1 request, blocking the calling thread: TLS for "https:" (the system's trusted
// certificates, plus SSL_CERT_FILE when it is set; server name checked), plain TCP for "http:". Each
// step (resolve, connect, handshake, write, read) has `operationLimit`; redirects are not followed; a
// body over `maxBody` bytes fails. Throws NetError.
HttpResponse fetch(const std::string& method, const url::Url& url, const HttpHeaders& headers,
                   const std::string& body, std::chrono::seconds operationLimit, std::size_t maxBody);

} // namespace kestrava::net
