#include "platform/process/HostName.hpp"
#include "tests/support/OwnNamespace.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <sched.h>
#include <unistd.h>

namespace kestrava {
namespace {

// Runs `body` on a thread of its own whose host name is `hostName` (a UTS namespace of its own); false when
// the namespace cannot be made.
bool withHostName(const std::string& hostName, const std::function<void()>& body) {
    return test::inOwnNamespace(CLONE_NEWUTS, body,
                                [&] { return ::sethostname(hostName.data(), hostName.size()) == 0; });
}

// A name that is not UTF-8 would make the configuration it is saved in unreadable: each source of the
// name rule is passed over when its name is not UTF-8.
TEST(HostName, NamesThatAreNotUTF8ArePassedOver) {
    const test::TemporaryDirectory folder;
    const auto info = folder / "machine-info";
    const bool ran = withHostName("plain-host", [&] {
        test::writeText(info, "PRETTY_HOSTNAME=\"Anna's \\\"PC\\\"\"\n");
        EXPECT_EQ(process::localizedHostName(info), "Anna's \"PC\"");
        test::writeText(info, "PRETTY_HOSTNAME='Caf\xE9'\n");
        EXPECT_EQ(process::localizedHostName(info), "plain-host");
        test::writeText(info, "PRETTY_HOSTNAME=\n");
        EXPECT_EQ(process::localizedHostName(info), "plain-host");
    });
    const bool latin1 = withHostName("h\xF4te", [&] {
        test::writeText(info, "PRETTY_HOSTNAME='Caf\xE9'\n");
        EXPECT_EQ(process::localizedHostName(info), std::nullopt);
    });
    if (!ran || !latin1) {
        GTEST_SKIP() << "a host name of the test's own needs root";
    }
}

} // namespace
} // namespace kestrava
