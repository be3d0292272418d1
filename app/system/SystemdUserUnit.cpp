#include "app/system/SystemdUserUnit.hpp"

#include "app/async/Within.hpp"
#include "app/runtime/AppLog.hpp"
#include "app/system/AgentUnitTemplate.hpp"
#include "app/system/ConfigFile.hpp"
#include "platform/files/Files.hpp"

#include <sstream>
#include <system_error>
#include <vector>

namespace kestrava::app {
namespace {

using ManagerCall = SystemdUserManager::Answer (*)(SystemdUserManager&);

// A unit is a few lines; anything near this size is not ours.
constexpr std::size_t maxUnitSize = 64 * 1024;

SystemdUserManager::Answer enable(SystemdUserManager& manager) {
    return manager.enableUnitFiles(SystemdUserUnit::unitName);
}
SystemdUserManager::Answer disable(SystemdUserManager& manager) {
    return manager.disableUnitFiles(SystemdUserUnit::unitName);
}
SystemdUserManager::Answer reload(SystemdUserManager& manager) {
    return manager.reload();
}
SystemdUserManager::Answer start(SystemdUserManager& manager) {
    return manager.startUnit(SystemdUserUnit::unitName);
}
SystemdUserManager::Answer stop(SystemdUserManager& manager) {
    return manager.stopUnit(SystemdUserUnit::unitName);
}

PlatformError noAnswer(Scheduler::Clock::duration limit) {
    std::ostringstream text;
    text << "the service manager did not answer within " << std::chrono::duration<double>(limit).count()
         << " s";
    return {text.str(), PlatformError::Cause::timedOut};
}

// Takes what it needs by value, so the calls finish safely even when the unit object goes first.
QCoro::Task<Result<void, PlatformError>> callInTurn(std::shared_ptr<SystemdUserManager> manager,
                                                    Scheduler* scheduler, Scheduler::Clock::duration limit,
                                                    std::vector<ManagerCall> calls) {
    for (const ManagerCall call : calls) {
        auto bounded = within(*scheduler, limit, call(*manager));
        const std::optional<std::optional<PlatformError>> answer = co_await std::move(bounded);
        if (!answer) {
            co_return noAnswer(limit);
        }
        if (*answer) {
            co_return **answer;
        }
    }
    co_return Result<void, PlatformError>{};
}

bool isLink(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_symlink(path, error);
}

bool isLinkToNull(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    return !error && target == "/dev/null";
}

// `path` as one word of a unit's command line: "%" would start a specifier, and blanks, quotes and
// backslashes need quotes around the word.
std::string commandWord(const std::string& path) {
    std::string word;
    bool quoted = false;
    for (const char c : path) {
        if (c == '%') {
            word += "%%";
        } else if (c == '"' || c == '\\') {
            word += {'\\', c};
            quoted = true;
        } else {
            word += c;
            quoted = quoted || c == ' ' || c == '\t' || c == '\'' || c == ';';
        }
    }
    return quoted ? '"' + word + '"' : word;
}

const std::string placeholder = "@KESTRAVA_AGENT_EXECUTABLE@";

std::string unitText(const std::filesystem::path& agentExecutable) {
    std::string text(agentUnitTemplate());
    text.replace(text.find(placeholder), placeholder.size(), commandWord(agentExecutable.string()));
    return text;
}

// Whether `text` is the template with some agent's path: a copy an application wrote.
bool writtenByAnApplication(std::string_view text) {
    const std::string_view unit = agentUnitTemplate();
    const std::size_t at = unit.find(placeholder);
    const std::string_view before = unit.substr(0, at), after = unit.substr(at + placeholder.size());
    return text.size() > before.size() + after.size() && text.starts_with(before) && text.ends_with(after) &&
           text.substr(before.size(), text.size() - before.size() - after.size()).find('\n') ==
               std::string_view::npos;
}

// A unit file's text; none when it is not a regular file or cannot be read.
std::optional<std::string> unitFileText(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error))) {
        return std::nullopt;
    }
    try {
        return textOf(files::readAll(file, maxUnitSize));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

SystemdUserUnit::SystemdUserUnit(std::shared_ptr<SystemdUserManager> manager, Scheduler& scheduler,
                                 std::filesystem::path configHome,
                                 std::optional<std::filesystem::path> agentExecutable,
                                 Scheduler::Clock::duration callLimit, SystemUnitFolders systemFolders)
    : manager_(std::move(manager)), scheduler_(scheduler), userUnitFolder_(configHome / "systemd" / "user"),
      agentExecutable_(std::move(agentExecutable)), callLimit_(callLimit),
      systemFolders_(std::move(systemFolders)) {}

ServiceStatus SystemdUserUnit::status() const {
    if (!agentPresent()) {
        return ServiceStatus::notFound;
    }
    if (masked()) {
        return ServiceStatus::requiresApproval;
    }
    return enabled() ? ServiceStatus::enabled : ServiceStatus::notRegistered;
}

QCoro::Task<Result<void, PlatformError>> SystemdUserUnit::registerService() {
    const Result<void, PlatformError> placed = placeUnitUnlessMasked();
    if (!placed) {
        co_return placed;
    }
    auto calls = callInTurn(manager_, &scheduler_, callLimit_, {enable, reload, start});
    const Result<void, PlatformError> result = co_await std::move(calls);
    co_return result;
}

QCoro::Task<Result<void, PlatformError>> SystemdUserUnit::unregisterService() {
    return callInTurn(manager_, &scheduler_, callLimit_, {stop, disable, reload});
}

void SystemdUserUnit::openSystemSettingsLoginItems() {
    appLog(AppLogLevel::info, "ServiceManager",
           "this desktop has no page for login items; to allow the agent, run: " + unmaskCommand());
}

bool SystemdUserUnit::agentPresent() const {
    std::error_code error;
    return agentExecutable_ && std::filesystem::exists(*agentExecutable_, error);
}

bool SystemdUserUnit::masked() const {
    return isLinkToNull(userUnitFolder_ / unitName) || isLinkToNull(systemFolders_.admin / unitName);
}

bool SystemdUserUnit::enabled() const {
    const std::filesystem::path wanted = std::filesystem::path("default.target.wants") / unitName;
    return isLink(userUnitFolder_ / wanted) || isLink(systemFolders_.admin / wanted);
}

bool SystemdUserUnit::packagedUnitRunsThisAgent() const {
    return unitFileText(systemFolders_.vendor / unitName) == unitText(*agentExecutable_);
}

Result<void, PlatformError> SystemdUserUnit::placeUnitUnlessMasked() const {
    if (!agentPresent()) {
        const std::string where = agentExecutable_ ? " at " + agentExecutable_->string() : "";
        return PlatformError{"no agent program" + where};
    }
    // Writing our copy over a mask would lift the user's block behind their back; the manager refuses
    // the masked unit instead, and the status tells why.
    if (masked()) {
        return {};
    }
    const std::filesystem::path copy = userUnitFolder_ / unitName;
    if (!packagedUnitRunsThisAgent()) {
        return writeConfigFile(copy, unitText(*agentExecutable_));
    }
    // A unit the user wrote themselves is theirs to keep.
    const std::optional<std::string> left = unitFileText(copy);
    return left && writtenByAnApplication(*left) ? removeConfigFile(copy) : Result<void, PlatformError>{};
}

} // namespace kestrava::app
