#include "app/system/SystemFacts.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

// A fresh root folder holding `files`, by their paths below it.
struct FixtureRoot {
    explicit FixtureRoot(const Files& files) {
        for (const auto& [path, text] : files) {
            std::filesystem::create_directories((folder / path).parent_path());
            test::writeText(folder / path, text);
        }
    }
    test::TemporaryDirectory folder;
};

// lsblk's inverse tree: each device lists the devices it stands on as its children.
TEST(SystemFacts, RootOnEncryptedDevice) {
    const std::string plainDisk = R"({"blockdevices": [
        {"name": "sda1", "type": "part", "mountpoints": ["/boot/efi"],
         "children": [{"name": "sda", "type": "disk", "mountpoints": [null]}]},
        {"name": "sda2", "type": "part", "mountpoints": ["/"],
         "children": [{"name": "sda", "type": "disk", "mountpoints": [null]}]}]})";
    const std::string luksRoot = R"({"blockdevices": [
        {"name": "sda1", "type": "part", "mountpoints": ["/boot"],
         "children": [{"name": "sda", "type": "disk", "mountpoints": [null]}]},
        {"name": "root_crypt", "type": "crypt", "mountpoints": ["/"],
         "children": [{"name": "sda2", "type": "part", "mountpoints": [null],
                       "children": [{"name": "sda", "type": "disk", "mountpoints": [null]}]}]}]})";
    const std::string lvmOnLuks = R"({"blockdevices": [
        {"name": "vg-swap", "type": "lvm", "mountpoints": ["[SWAP]"],
         "children": [{"name": "nvme0n1p3_crypt", "type": "crypt", "mountpoints": [null]}]},
        {"name": "vg-root", "type": "lvm", "mountpoints": ["/", "/var/snap"],
         "children": [{"name": "nvme0n1p3_crypt", "type": "crypt", "mountpoints": [null],
                       "children": [{"name": "nvme0n1p3", "type": "part", "mountpoints": [null],
                                     "children": [{"name": "nvme0n1", "type": "disk"}]}]}]}]})";
    const std::string encryptedHomeOnly = R"({"blockdevices": [
        {"name": "home_crypt", "type": "crypt", "mountpoints": ["/home"],
         "children": [{"name": "sda3", "type": "part", "mountpoints": [null]}]},
        {"name": "vg-root", "type": "lvm", "mountpoints": ["/"],
         "children": [{"name": "sda2", "type": "part", "mountpoints": [null]}]}]})";
    const std::vector<std::pair<std::string, std::optional<bool>>> table{
        {plainDisk, false},
        {luksRoot, true},
        {lvmOnLuks, true},
        {encryptedHomeOnly, false},
        {R"({"blockdevices": [{"name": "sda", "type": "disk", "mountpoints": [null]}]})", std::nullopt},
        {R"({"blockdevices": [{"name": "sda", "type": "disk", "mountpoint": "/"}]})", std::nullopt},
        {R"({"devices": []})", std::nullopt},
        {"lsblk: unknown column: MOUNTPOINTS", std::nullopt},
        {plainDisk.substr(0, 100), std::nullopt},
    };
    for (const auto& [listing, expected] : table) {
        EXPECT_EQ(app::rootOnEncryptedDevice(listing), expected) << listing;
    }
}

TEST(SystemFacts, AutomaticLoginUser) {
    const std::string lightdm = "etc/lightdm/lightdm.conf";
    const std::string lightdmDropIn = "etc/lightdm/lightdm.conf.d/50-autologin.conf";
    const std::string sddmDropIn = "etc/sddm.conf.d/autologin.conf";
    const std::string linger = "var/lib/systemd/linger/dana";
    const std::vector<std::pair<Files, std::optional<std::string>>> table{
        {{}, std::nullopt},
        {{{"etc/gdm3/daemon.conf", "[daemon]\nAutomaticLoginEnable = True\nAutomaticLogin = anna\n"}},
         "anna"},
        {{{"etc/gdm3/daemon.conf", "[daemon]\nAutomaticLoginEnable=false\nAutomaticLogin=anna\n"}},
         std::nullopt},
        {{{"etc/gdm3/daemon.conf", "[daemon]\n#  AutomaticLoginEnable = true\n#  AutomaticLogin = user1\n"}},
         std::nullopt},
        {{{"etc/gdm3/daemon.conf", "[security]\nAutomaticLoginEnable=true\nAutomaticLogin=anna\n"}},
         std::nullopt},
        {{{lightdm, "[Seat:*]\r\n#autologin-user=\r\nautologin-user=bob\r\n"}}, "bob"},
        {{{lightdmDropIn, "[Seat:*]\nautologin-user=bob\n"}, {lightdm, "[Seat:*]\n#autologin-user=\n"}},
         "bob"},
        {{{lightdmDropIn, "[Seat:*]\nautologin-user=bob\n"}, {lightdm, "[Seat:*]\nautologin-user=\n"}},
         std::nullopt},
        {{{"etc/lightdm/lightdm.conf.d/50-autologin.conf.disabled", "[Seat:*]\nautologin-user=bob\n"}},
         std::nullopt},
        {{{lightdm, "[LightDM]\nautologin-user=bob\n"}}, std::nullopt},
        {{{sddmDropIn, "[Autologin]\nRelogin=false\nUser=carl\nSession=plasma\n"}}, "carl"},
        {{{sddmDropIn, "[Autologin]\nUser=carl\n"}, {"etc/sddm.conf", "[Autologin]\nUser=\n"}}, std::nullopt},
        {{{"etc/sddm.conf", "[Autologin]\n; User=carl\n"}}, std::nullopt},
        {{{linger, ""}}, "dana"},
        {{{"var/lib/systemd/linger/erik", ""}}, std::nullopt},
        {{{linger, ""}, {sddmDropIn, "[Autologin]\nUser=carl\n"}}, "carl"},
    };
    for (const auto& [files, expected] : table) {
        const FixtureRoot root(files);
        EXPECT_EQ(app::automaticLoginUser(root.folder.path(), "dana"), expected)
            << testing::PrintToString(files);
    }
}

// A battery of the machine's own, or a chassis made to be carried.
TEST(SystemFacts, MachineIsLaptop) {
    const std::string chassis = "sys/class/dmi/id/chassis_type";
    const std::string battery = "sys/class/power_supply/BAT0/type";
    const std::vector<std::pair<Files, bool>> table{
        {{}, false},
        {{{chassis, "3\n"}}, false},
        {{{chassis, "35\n"}}, false},
        {{{chassis, "10\n"}}, true},
        {{{chassis, "9"}}, true},
        {{{chassis, "31\n"}}, true},
        {{{chassis, "10 \n"}}, true},
        {{{chassis, "100\n"}}, false},
        {{{chassis, "notebook\n"}}, false},
        {{{chassis, "3\n"}, {battery, "Battery\n"}}, true},
        {{{chassis, "3\n"}, {battery, "Battery\n"}, {"sys/class/power_supply/BAT0/scope", "Device\n"}},
         false},
    };
    for (const auto& [files, expected] : table) {
        const FixtureRoot root(files);
        EXPECT_EQ(app::machineIsLaptop(root.folder.path()), expected) << testing::PrintToString(files);
    }
}

// The live probe ends, and reads the machine as the readers above do.
TEST(SystemFacts, ProbeOfThisMachine) {
    const test::Started<app::SystemFacts> probe(app::probeSystemFacts());
    ASSERT_TRUE(test::runQtUntil([&] { return probe.done(); }));
    EXPECT_EQ(probe.result().isLaptop, app::machineIsLaptop("/"));
}

} // namespace
} // namespace kestrava
