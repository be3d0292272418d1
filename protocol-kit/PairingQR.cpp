#include "protocol-kit/PairingQR.hpp"

#include "platform/crypto/P256.hpp"
#include "platform/encoding/Utf8.hpp"
#include "platform/url/PercentEncoding.hpp"
#include "protocol-kit/Base64URL.hpp"

#include <map>

namespace kestrava {
namespace {

constexpr std::size_t secretSize = 32;
constexpr std::size_t itemCount = 6;

// Text that is not UTF-8 cannot be escaped into a readable link; its item is left empty instead.
std::string encodedItem(std::string_view text) {
    if (!utf8::isValid(text)) {
        return {};
    }
    const auto& allowed = PairingQR::allowedCharacters();
    return url::percentEncode(text, [&](unsigned char byte) { return allowed.test(byte); });
}

// Item name -> percent-decoded value; nothing on a repeated name, a missing "=" or a bad escape.
std::optional<std::map<std::string, std::string>>
decodedItems(const std::vector<url::Url::QueryItem>& items) {
    std::map<std::string, std::string> values;
    for (const auto& item : items) {
        if (values.contains(item.name) || !item.value) {
            return std::nullopt;
        }
        auto value = url::percentDecode(*item.value);
        if (!value) {
            return std::nullopt;
        }
        values.emplace(item.name, std::move(*value));
    }
    return values;
}

std::optional<url::Url> backendURLOf(const std::string& text) {
    auto url = url::Url::parseReference(text);
    if (!url || !url->namesServer()) {
        return std::nullopt;
    }
    auto scheme = url->scheme();
    if (!scheme) {
        return std::nullopt;
    }
    for (char& c : *scheme) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (*scheme != "http" && *scheme != "https") {
        return std::nullopt;
    }
    return url;
}

} // namespace

const std::bitset<256>& PairingQR::allowedCharacters() {
    static const std::bitset<256> allowed = [] {
        std::bitset<256> set;
        for (const unsigned char c :
             std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~")) {
            set.set(c);
        }
        return set;
    }();
    return allowed;
}

std::string PairingQR::urlString() const {
    return "kestrava://pair?v=" + std::to_string(v) + "&u=" + encodedItem(backendURL.absoluteString()) +
           "&d=" + encodedItem(deviceId) + "&s=" + Base64URL::encode(secret) +
           "&k=" + Base64URL::encode(macPublicKey) + "&n=" + encodedItem(macName);
}

std::optional<PairingQR> PairingQR::parse(std::string_view link) {
    const auto url = url::Url::parseReference(link);
    if (!url || url->scheme() != "kestrava" || url->host() != "pair") {
        return std::nullopt;
    }
    const auto items = url->percentEncodedQueryItems();
    if (!items) {
        return std::nullopt;
    }
    const auto values = decodedItems(*items);
    if (!values || values->size() != itemCount) {
        return std::nullopt;
    }
    const auto value = [&](const char* name) -> const std::string* {
        const auto found = values->find(name);
        return found == values->end() ? nullptr : &found->second;
    };

    const auto* version = value("v");
    if (!version || *version != "1") {
        return std::nullopt;
    }
    const auto* backendText = value("u");
    auto backendURL = backendText ? backendURLOf(*backendText) : std::nullopt;
    if (!backendURL) {
        return std::nullopt;
    }
    const auto* deviceId = value("d");
    if (!deviceId || deviceId->empty()) {
        return std::nullopt;
    }
    const auto* secretText = value("s");
    auto secret = secretText ? Base64URL::decode(*secretText) : std::nullopt;
    if (!secret || secret->size() != secretSize) {
        return std::nullopt;
    }
    const auto* keyText = value("k");
    auto macPublicKey = keyText ? Base64URL::decode(*keyText) : std::nullopt;
    if (!macPublicKey || !crypto::P256PublicKey::fromX963(*macPublicKey)) {
        return std::nullopt;
    }
    const auto* macName = value("n");
    if (!macName) {
        return std::nullopt;
    }
    return PairingQR{1,       std::move(*backendURL), *deviceId, std::move(*secret), std::move(*macPublicKey),
                     *macName};
}

} // namespace kestrava
