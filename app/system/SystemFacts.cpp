#include "app/system/SystemFacts.hpp"

#include "app/system/KeyFile.hpp"
#include "platform/bytes/Bytes.hpp"
#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/host/ToolRunner.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/power/PowerSupplies.hpp"

#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <functional>
#include <vector>

namespace kestrava::app {
namespace {

// Configuration files are small; anything larger is not one.
constexpr std::size_t configFileLimit = 1 << 20;

// SMBIOS chassis types of machines made to be carried: portable, laptop, notebook, sub-notebook,
// convertible, detachable.
constexpr std::array portableChassisTypes{8, 9, 10, 14, 31, 32};

std::optional<std::string> readText(const std::filesystem::path& file) {
    try {
        return textOf(files::readAll(file, configFileLimit));
    } catch (const files::FileError&) {
        return std::nullopt;
    }
}

bool isTrue(std::string_view value) {
    return value == "1" || std::ranges::equal(value, std::string_view("true"), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

// --- The root filesystem's device

const json::Array* arrayMember(const json::Object& object, std::string_view key) {
    const json::Value* value = object.find(key);
    return value ? value->asArray() : nullptr;
}

bool isMountedAtRoot(const json::Object& device) {
    const json::Array* mountpoints = arrayMember(device, "mountpoints");
    return mountpoints && std::ranges::any_of(*mountpoints, [](const json::Value& mountpoint) {
               return mountpoint.asString() && *mountpoint.asString() == "/";
           });
}

// In lsblk's inverse tree (-s) a device's children are the devices it stands on, down to the disk.
bool standsOnCrypt(const json::Object& device) {
    const json::Value* type = device.find("type");
    if (type && type->asString() && *type->asString() == "crypt") {
        return true;
    }
    const json::Array* below = arrayMember(device, "children");
    return below && std::ranges::any_of(*below, [](const json::Value& child) {
               return child.asObject() && standsOnCrypt(*child.asObject());
           });
}

// --- The display managers' key files

using SectionTest = std::function<bool(std::string_view)>;

// The drop-ins of `folder` whose names end in `suffix`, in name order, then `main`: the order in which
// LightDM and SDDM read them, each overriding the ones before.
std::vector<std::filesystem::path> withDropIns(const std::filesystem::path& folder, std::string_view suffix,
                                               std::filesystem::path main) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().filename().string().ends_with(suffix)) {
            files.push_back(entry.path());
        }
    }
    std::ranges::sort(files);
    files.push_back(std::move(main));
    return files;
}

// The user the last of `files` to set `key` names; none when none does or the last one sets it empty.
std::optional<std::string> layeredUser(const std::vector<std::filesystem::path>& files,
                                       const SectionTest& inSection, std::string_view key) {
    std::optional<std::string> user;
    for (const auto& file : files) {
        if (const auto text = readText(file)) {
            if (auto value = keyFileValue(*text, inSection, key)) {
                user = std::move(value);
            }
        }
    }
    return user && !user->empty() ? user : std::nullopt;
}

std::optional<std::string> gdmUser(const std::filesystem::path& root) {
    const auto text = readText(root / "etc/gdm3/daemon.conf");
    if (!text) {
        return std::nullopt;
    }
    const SectionTest daemon = [](std::string_view section) { return section == "daemon"; };
    const auto enabled = keyFileValue(*text, daemon, "AutomaticLoginEnable");
    const auto user = keyFileValue(*text, daemon, "AutomaticLogin");
    return enabled && isTrue(*enabled) && user && !user->empty() ? user : std::nullopt;
}

std::optional<std::string> lightdmUser(const std::filesystem::path& root) {
    const auto folder = root / "etc/lightdm";
    // "Seat:*", "Seat:seat0" and the older "SeatDefaults"
    const SectionTest seat = [](std::string_view section) { return section.starts_with("Seat"); };
    return layeredUser(withDropIns(folder / "lightdm.conf.d", ".conf", folder / "lightdm.conf"), seat,
                       "autologin-user");
}

std::optional<std::string> sddmUser(const std::filesystem::path& root) {
    const SectionTest autologin = [](std::string_view section) { return section == "Autologin"; };
    return layeredUser(withDropIns(root / "etc/sddm.conf.d", "", root / "etc/sddm.conf"), autologin, "User");
}

// --- The machine

bool portableChassis(const std::filesystem::path& file) {
    const auto text = readText(file);
    if (!text) {
        return false;
    }
    const std::string_view digits = trimmed(*text);
    int type = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), type);
    return error == std::errc() && end == digits.data() + digits.size() &&
           std::ranges::find(portableChassisTypes, type) != portableChassisTypes.end();
}

// The facts of this machine. Battery attributes can take the firmware a while, and the listing of devices
// up to about three seconds when lsblk hangs, so this runs on the pool.
SystemFacts readFacts() {
    SystemFacts facts{std::nullopt, automaticLoginUser("/", files::userName()), machineIsLaptop("/")};
    if (const auto listing = host::runTool("/usr/bin/lsblk", {"-J", "-s", "-o", "NAME,TYPE,MOUNTPOINTS"},
                                           std::chrono::seconds(2))) {
        facts.diskEncryptionOn = rootOnEncryptedDevice(*listing);
    }
    return facts;
}

} // namespace

std::optional<bool> rootOnEncryptedDevice(std::string_view lsblkJson) {
    json::Value listing;
    try {
        listing = json::parse(lsblkJson);
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
    const json::Array* devices =
        listing.asObject() ? arrayMember(*listing.asObject(), "blockdevices") : nullptr;
    if (!devices) {
        return std::nullopt;
    }
    // Mounted devices are the leaves of the usual tree, so they head the inverse one.
    for (const json::Value& device : *devices) {
        if (device.asObject() && isMountedAtRoot(*device.asObject())) {
            return standsOnCrypt(*device.asObject());
        }
    }
    return std::nullopt;
}

std::optional<std::string> automaticLoginUser(const std::filesystem::path& root,
                                              const std::string& userName) {
    for (const auto displayManagerUser : {gdmUser, lightdmUser, sddmUser}) {
        if (auto user = displayManagerUser(root)) {
            return user;
        }
    }
    // The user's service manager, and so the agent, then starts at boot with no one logging in.
    std::error_code error;
    if (!userName.empty() && std::filesystem::exists(root / "var/lib/systemd/linger" / userName, error)) {
        return userName;
    }
    return std::nullopt;
}

bool machineIsLaptop(const std::filesystem::path& root) {
    return power::PowerSupplies(root / "sys/class/power_supply").isLaptop() ||
           portableChassis(root / "sys/class/dmi/id/chassis_type");
}

QCoro::Task<SystemFacts> probeSystemFacts() {
    QFuture<SystemFacts> reading = QtConcurrent::run(readFacts);
    co_return co_await reading;
}

} // namespace kestrava::app
