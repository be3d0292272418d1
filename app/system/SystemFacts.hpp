#pragma once

#include <QCoro/QCoroTask>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava::app {

// What the first-run guide needs to know about the machine to warn about a restart that would leave the
// agent stopped, and to apply the sleep settings only where they matter.
struct SystemFacts {
    // Whether the root filesystem is encrypted, so someone must unlock the disk after a restart; none when
    // it could not be told.
    std::optional<bool> diskEncryptionOn;
    // The user whose session (or, with lingering, whose services) starts at boot without anyone logging in;
    // none when there is none or it could not be read.
    std::optional<std::string> autoLoginUser;
    bool isLaptop = false;

    bool operator==(const SystemFacts&) const = default;
};

// Whether the device mounted at "/" stands on a dm-crypt mapping, from the output of
// `lsblk -J -s -o NAME,TYPE,MOUNTPOINTS`; none when the text is not such a listing or names no "/".
std::optional<bool> rootOnEncryptedDevice(std::string_view lsblkJson);

// The files below are read under `root`, "/" on the live system.

// The automatic login of the display manager (GDM3, LightDM, SDDM, in that order); else `userName` when
// systemd lingers for that user; else none.
std::optional<std::string> automaticLoginUser(const std::filesystem::path& root, const std::string& userName);

// The machine has a battery of its own (the agent's rule) or a portable DMI chassis type.
bool machineIsLaptop(const std::filesystem::path& root);

// The facts of this machine. The listing of devices may take up to about three seconds when lsblk hangs; the
// files are read on a worker thread too.
QCoro::Task<SystemFacts> probeSystemFacts();

} // namespace kestrava::app
