#include "agent-core/control/ChangeNotifications.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/SignalListener.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

TEST(ChangeNotifications, APairingRequestAndTheChangeAfterItReachTheSessionBusInOrder) {
    test::PrivateSessionBus bus;
    test::SignalListener listener(bus.address(), "com.veltmoran.kestrava.agent");

    postPairingRequest();
    postChanged();

    EXPECT_EQ(listener.next(), (test::ReceivedSignal{"com.veltmoran.kestrava.agent", "pairingRequest",
                                                     "/com/veltmoran/kestrava/agent"}));
    EXPECT_EQ(listener.next(), (test::ReceivedSignal{"com.veltmoran.kestrava.agent", "changed",
                                                     "/com/veltmoran/kestrava/agent"}));
}

} // namespace
} // namespace kestrava
