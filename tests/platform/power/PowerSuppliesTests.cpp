#include "platform/power/PowerSupplies.hpp"
#include "tests/support/PowerSupplyTree.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kestrava {
namespace {

using Attributes = test::PowerSupplyTree::Attributes;
using test::PowerSupplyTree;

const Attributes mainsOffline{{"type", "Mains"}, {"online", "0"}};
const Attributes mainsOnline{{"type", "Mains"}, {"online", "1"}};
const Attributes discharging{
    {"type", "Battery"}, {"scope", "System"}, {"present", "1"}, {"status", "Discharging"}};
const Attributes charging{{"type", "Battery"}, {"present", "1"}, {"status", "Charging"}};

TEST(PowerSupplies, ADesktopWithoutSuppliesOrWithoutATreeIsOnACPower) {
    const PowerSupplyTree desktop;
    EXPECT_TRUE(desktop.supplies().onACPower());
    EXPECT_FALSE(desktop.supplies().isLaptop());

    const test::TemporaryDirectory folder;
    const power::PowerSupplies unreadable(folder / "missing");
    EXPECT_TRUE(unreadable.onACPower());
    EXPECT_FALSE(unreadable.isLaptop());
}

TEST(PowerSupplies, ALaptopIsOnBatteryOnlyWhileItsBatteryProvides) {
    PowerSupplyTree unplugged;
    unplugged.add("AC", mainsOffline).add("BAT0", discharging);
    EXPECT_FALSE(unplugged.supplies().onACPower());
    EXPECT_TRUE(unplugged.supplies().isLaptop());

    PowerSupplyTree plugged;
    plugged.add("AC", mainsOnline).add("BAT0", charging);
    EXPECT_TRUE(plugged.supplies().onACPower());
    EXPECT_TRUE(plugged.supplies().isLaptop());

    // A battery that does not say it discharges still carries the machine when the mains are offline.
    PowerSupplyTree vague;
    vague.add("ADP1", mainsOffline).add("BAT1", {{"type", "Battery"}, {"status", "Unknown"}});
    EXPECT_FALSE(vague.supplies().onACPower());

    PowerSupplyTree emptyBay;
    emptyBay.add("AC", mainsOnline).add("BAT0", {{"type", "Battery"}, {"present", "0"}});
    EXPECT_FALSE(emptyBay.supplies().isLaptop());
}

TEST(PowerSupplies, AnOnlineUsbSupplyCountsAsACPower) {
    for (const std::string type : {"USB", "USB_PD", "USB_C"}) {
        for (const std::string online : {"1", "2"}) {
            PowerSupplyTree tree;
            tree.add("ucsi-source-psy", {{"type", type}, {"online", online}}).add("BAT0", discharging);
            EXPECT_TRUE(tree.supplies().onACPower()) << type << " online " << online;
        }
    }
    PowerSupplyTree unplugged;
    unplugged.add("ucsi-source-psy", {{"type", "USB"}, {"online", "0"}}).add("BAT0", discharging);
    EXPECT_FALSE(unplugged.supplies().onACPower());
}

TEST(PowerSupplies, APeripheralBatteryDoesNotMakeALaptop) {
    PowerSupplyTree tree;
    tree.add("hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"status", "Discharging"}});
    EXPECT_TRUE(tree.supplies().onACPower());
    EXPECT_FALSE(tree.supplies().isLaptop());

    tree.add("AC", mainsOffline);
    EXPECT_TRUE(tree.supplies().onACPower());
}

} // namespace
} // namespace kestrava
