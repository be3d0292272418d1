#include "agent-core/state/Config.hpp"

#include "agent-core/state/AtomicWrite.hpp"
#include "platform/json/Writer.hpp"

namespace kestrava {

std::optional<files::FileError> Config::save(const std::filesystem::path& file) const {
    const std::string text = json::write(encode(), {.sortedKeys = true, .pretty = true, .escapeSlash = true});
    return atomicWrite(bytesOf(text), file);
}

json::Object Config::encode() const {
    json::Object object;
    object.add("backendURL", backendURL.absoluteString());
    if (deviceId) {
        object.add("deviceId", *deviceId);
    }
    object.add("macName", macName).add("monitoringPaused", monitoringPaused);
    return object;
}

Config Config::decode(const json::ObjectReader& reader) {
    const std::string backend = reader.string("backendURL");
    // An empty reference parses, but names no relay: the file is as damaged as with any unparsable URL.
    const auto url = backend.empty() ? std::nullopt : url::Url::parseReference(backend);
    if (!url) {
        reader.dataCorrupted("backendURL", "Invalid URL string.");
    }
    return Config{*url, reader.optionalString("deviceId"), reader.string("macName"),
                  reader.optionalBoolean("monitoringPaused").value_or(false)};
}

} // namespace kestrava
