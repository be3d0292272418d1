#pragma once

#include "platform/url/Url.hpp"

#include <stdexcept>
#include <string>

namespace kestrava {

// Which relay addresses the agent accepts.
namespace BackendURL {

// A refused backend URL; what() is the text for the log.
class Error : public std::runtime_error {
public:
    enum class Kind { insecure, unsupportedScheme, noServer };

    static Error insecure(const std::string& url);
    static Error unsupportedScheme(const std::string& url);
    static Error noServer(const std::string& url);

    Kind kind() const noexcept { return kind_; }

private:
    Error(Kind kind, const std::string& description);

    Kind kind_;
};

// The relay used when nothing else is configured: https, a host, nothing more.
const url::Url& defaultURL();

// https passes; http passes only when `allowHTTP` or `isDebug`; anything else, or no scheme, throws. So
// does a URL that names no server a connection could reach (url::Url::namesServer).
void validate(const url::Url& url, bool allowHTTP, bool isDebug);

} // namespace BackendURL

// Two backend URLs name the same relay when their keys are equal: scheme and host compared without
// case, trailing "/" of the path ignored; everything else as written.
std::string backendKey(const url::Url& url);

} // namespace kestrava
