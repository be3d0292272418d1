#include "platform/dbus/SignalPoster.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/SignalListener.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

const std::string interface = "org.example.Watched";
const std::string path = "/org/example/Watched";

TEST(SignalPoster, SendsInOrderAndReachesTheNextBusAfterItsBusWentAway) {
    dbus::SignalPoster poster;
    {
        test::PrivateSessionBus first;
        test::SignalListener listener(first.address(), interface);
        // Names no bus accepts are dropped without disturbing what follows.
        poster.post("not an interface", "m", path);
        for (int i = 0; i < 10; ++i) {
            poster.post(interface, "m" + std::to_string(i), path);
        }
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(listener.next(), (test::ReceivedSignal{interface, "m" + std::to_string(i), path}));
        }
    }
    test::PrivateSessionBus second;
    test::SignalListener listener(second.address(), interface);
    poster.post(interface, "again", path);
    EXPECT_EQ(listener.next(), (test::ReceivedSignal{interface, "again", path}));
}

TEST(SignalPoster, WithoutABusPostsAreDroppedSilently) {
    test::TemporaryDirectory folder;
    test::EnvironmentOverride nowhere("DBUS_SESSION_BUS_ADDRESS",
                                      "unix:path=" + (folder / "no-bus").string());
    testing::internal::CaptureStderr();
    {
        dbus::SignalPoster poster;
        for (int i = 0; i < 3; ++i) {
            poster.post(interface, "m" + std::to_string(i), path);
        }
        // Leaving the scope delivers what is queued and stops the notifier.
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace kestrava
