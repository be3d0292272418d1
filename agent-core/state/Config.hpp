#pragma once

#include "platform/files/FileError.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "platform/url/Url.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace kestrava {

// The agent's settings, kept in "config.json".
struct Config {
    url::Url backendURL;
    std::optional<std::string> deviceId; // absent until the relay registered this machine
    std::string macName;
    bool monitoringPaused = false;

    // Pretty-printed with sorted keys, written through atomicWrite. Throws files::FileError. Returns, as
    // atomicWrite does, the failure to flush the folder once the file was replaced, for the caller to log
    // after any lock it holds.
    std::optional<files::FileError> save(const std::filesystem::path& file) const;

    json::Object encode() const;
    // "backendURL" must parse as a URL and not be empty; a missing or null "monitoringPaused" reads as false.
    static Config decode(const json::ObjectReader& reader);

    bool operator==(const Config&) const = default;
};

} // namespace kestrava
