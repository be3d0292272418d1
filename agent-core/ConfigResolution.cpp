#include "agent-core/Agent.hpp"
#include "agent-core/AgentStartupError.hpp"
#include "agent-core/relay/BackendURL.hpp"
#include "agent-core/runtime/Log.hpp"
#include "agent-core/state/AtomicWrite.hpp"
#include "agent-core/state/StoredFileLimit.hpp"
#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/time/Timestamp.hpp"

#include <cerrno>

namespace kestrava {
namespace {

std::optional<std::string> overrideText(const std::vector<std::string>& arguments,
                                        const process::Environment& environment, bool isDebug) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--backend") {
            if (i + 1 < arguments.size()) {
                return arguments[i + 1];
            }
            break;
        }
    }
    if (isDebug) {
        if (const auto variable = environment.find("KESTRAVA_BACKEND_URL"); variable != environment.end()) {
            return variable->second;
        }
    }
    return std::nullopt;
}

url::Url overrideURL(const std::string& text, bool allowHTTP, bool isDebug) {
    const auto url = url::Url::parseReference(text);
    if (!url || !url->namesServer()) {
        throw AgentStartupError::invalidBackend(text);
    }
    BackendURL::validate(*url, allowHTTP, isDebug);
    return *url;
}

// The stored configuration; nothing when there is none or it is damaged (then it is moved aside).
std::optional<Config> readStored(const std::filesystem::path& configPath) {
    std::string problem;
    try {
        const Bytes bytes = files::readAll(configPath, maxStoredFileSize);
        return Config::decode(json::ObjectReader(json::parse(textOf(bytes))));
    } catch (const files::FileError& error) {
        if (error.errorNumber() == ENOENT) {
            return std::nullopt;
        }
        problem = error.what();
    } catch (const json::DecodeError& error) {
        problem = error.what();
    }
    const std::string quarantineName =
        configPath.filename().string() + ".corrupt-" + std::to_string(wholeSecondsSince1970(wallClockNow()));
    try {
        // Never over an earlier copy: two failures in one second keep the first.
        files::moveNoReplace(configPath, configPath.parent_path() / quarantineName);
        logError("config.json unreadable (" + problem + "); moved to " + quarantineName);
    } catch (const files::FileError& error) {
        logError(std::string("could not move corrupt config aside: ") + error.what());
    }
    return std::nullopt;
}

// Start-up holds no lock here: a folder that could not be flushed is logged at once.
Config saved(const Config& config, const std::filesystem::path& configPath) {
    if (const auto unflushed = config.save(configPath)) {
        logUnflushedFolder(*unflushed);
    }
    return config;
}

} // namespace

Config Agent::resolveConfig(const std::vector<std::string>& arguments,
                            const process::Environment& environment, bool isDebug, const std::string& macName,
                            const std::filesystem::path& configPath, std::int64_t phones) {
    const auto allowVariable = environment.find("KESTRAVA_ALLOW_HTTP");
    const bool allowHTTP = isDebug && allowVariable != environment.end() && allowVariable->second == "1";

    std::optional<url::Url> override;
    if (const auto text = overrideText(arguments, environment, isDebug)) {
        override = overrideURL(*text, allowHTTP, isDebug);
    }

    std::optional<Config> stored = readStored(configPath);
    if (stored) {
        if (!override) {
            BackendURL::validate(stored->backendURL, allowHTTP, isDebug);
            return *stored;
        }
        if (backendKey(*override) == backendKey(stored->backendURL)) {
            return *stored;
        }
        if (phones > 0) {
            throw AgentStartupError::backendChangeRefused(phones);
        }
        return saved({*override, std::nullopt, stored->macName, stored->monitoringPaused}, configPath);
    }
    if (phones > 0) {
        throw AgentStartupError::configLostWithPhones(phones);
    }
    return saved({override.value_or(BackendURL::defaultURL()), std::nullopt, macName, false}, configPath);
}

} // namespace kestrava
