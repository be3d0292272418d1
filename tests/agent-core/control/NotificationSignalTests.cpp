#include "agent-core/control/AgentXPC.hpp"
#include "agent-core/control/NotificationSignal.hpp"

#include <gtest/gtest.h>

#include <systemd/sd-bus.h>

namespace kestrava {
namespace {

TEST(NotificationSignal, TheDefaultPrefixIsTheInterfaceAndNamesThePath) {
    // The test programs carry no build-time names of their own.
    EXPECT_EQ(AgentXPC::machServiceName(), "com.veltmoran.kestrava.agent.xpc");
    EXPECT_EQ(AgentXPC::changedNotification(), "com.veltmoran.kestrava.agent.changed");
    EXPECT_EQ(AgentXPC::pairingRequestNotification(), "com.veltmoran.kestrava.agent.pairingRequest");

    EXPECT_EQ(
        notificationSignal(AgentXPC::changedNotification()),
        (NotificationSignal{"com.veltmoran.kestrava.agent", "changed", "/com/veltmoran/kestrava/agent"}));
    EXPECT_EQ(notificationSignal(AgentXPC::pairingRequestNotification()),
              (NotificationSignal{"com.veltmoran.kestrava.agent", "pairingRequest",
                                  "/com/veltmoran/kestrava/agent"}));
}

TEST(NotificationSignal, ElementsThatAreNoNamesAreEscapedIntoValidNames) {
    const struct {
        const char* name;
        NotificationSignal signal;
    } cases[] = {
        {"com.my-app.agent.changed", {"com.my_2dapp.agent", "changed", "/com/my_2dapp/agent"}},
        {"com.2fast.agent.changed", {"com._2fast.agent", "changed", "/com/_2fast/agent"}},
        {"com.9-lives.changed", {"com._9_2dlives", "changed", "/com/_9_2dlives"}},
        {"com..agent.changed", {"com._.agent", "changed", "/com/_/agent"}},
        {"org.caf\xc3\xa9.x y.pairingRequest",
         {"org.caf_c3_a9.x_20y", "pairingRequest", "/org/caf_c3_a9/x_20y"}},
        {"com.under_score.A1.changed", {"com.under_score.A1", "changed", "/com/under_score/A1"}},
    };
    for (const auto& [name, expected] : cases) {
        const NotificationSignal signal = notificationSignal(name);
        EXPECT_EQ(signal, expected) << name;
        EXPECT_GT(sd_bus_interface_name_is_valid(signal.interface.c_str()), 0) << name;
        EXPECT_GT(sd_bus_object_path_is_valid(signal.path.c_str()), 0) << name;
    }
}

} // namespace
} // namespace kestrava
