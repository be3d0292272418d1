#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrava::url {

// A URL reference parsed strictly by RFC 3986 (no automatic escaping, no normalisation). The text it
// was parsed from is kept unchanged as its absolute string, and equality compares that text.
class Url {
public:
    struct QueryItem {
        std::string name;
        std::optional<std::string> value; // absent when the item has no "="
    };

    // Any URL reference (relative ones included); nothing when the text breaks RFC 3986.
    static std::optional<Url> parseReference(std::string_view text);

    const std::string& absoluteString() const noexcept { return text_; }
    std::optional<std::string> scheme() const;
    // Percent-decoded, without IPv6 brackets; nothing without an authority or when the decoded host
    // is not valid UTF-8. An empty authority ("file:///p") has an empty host.
    std::optional<std::string> host() const;
    // True when the authority names a server a connection can reach: a host name or IP address that
    // is not empty and holds no NUL once decoded (resolvers, SNI and certificate checks would each see
    // only the part before it), and a port that is absent, empty or 1 to 65535.
    bool namesServer() const;
    std::optional<std::string> percentEncodedQuery() const;
    // The query split at "&" and each item at its first "=", in their percent-encoded form. An empty
    // query ("x:?") is present and has no items; an empty piece between two "&" is an item with an
    // empty name and no value.
    std::optional<std::vector<QueryItem>> percentEncodedQueryItems() const;

    // Components as written, still percent-encoded; the host without IPv6 brackets removed.
    std::optional<std::string> encodedHost() const;
    std::string encodedPath() const;

    // A copy with one component replaced; every other component keeps its text. The new texts must be
    // valid for their component (a scheme, an encoded host, an encoded path).
    Url withScheme(std::string_view scheme) const;
    Url withEncodedHost(std::string_view host) const;
    Url withEncodedPath(std::string_view path) const;
    // The query (the text after "?", which is added when there was none).
    Url withEncodedQuery(std::string_view query) const;
    // The path with an encoded relative component appended after exactly one "/", whether or not the
    // path already ended in one; the query and fragment stay.
    Url appendingPathComponent(std::string_view component) const;

    bool operator==(const Url& other) const { return text_ == other.text_; }

private:
    explicit Url(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

} // namespace kestrava::url
