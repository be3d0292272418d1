// The test helpers that every other test leans on: a fault in them would hide faults elsewhere.
#include "platform/process/Pipe.hpp"
#include "tests/support/ForkedChild.hpp"
#include "tests/support/OwnNamespace.hpp"
#include "tests/support/RefusedSystemCalls.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestCertificateAuthority.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <future>
#include <mutex>
#include <sched.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace kestrava::test {
namespace {

using namespace std::chrono_literals;

// A file that cannot be written is an error, never a file left as it was.
TEST(TestSupport, WriteTextFailsLoudly) {
    const TemporaryDirectory folder;
    writeText(folder / "plain", "text");
    EXPECT_EQ(fileText(folder / "plain"), "text");
    for (const auto& path : {folder / "missing" / "file", folder.path()}) {
        EXPECT_THROW(writeText(path, "text"), std::runtime_error) << path;
    }
}

// The authority the tests trust is read from a folder of this user's alone: no other user can have left a
// file there that the tests would trust instead.
TEST(TestSupport, TheTrustedAuthorityLiesInAFolderOfItsOwn) {
    const auto& authority = TestCertificateAuthority::trusted();
    const char* const file = std::getenv("SSL_CERT_FILE");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fileText(file), authority.certificatePem());
    struct stat folder {};
    ASSERT_EQ(::stat(std::filesystem::path(file).parent_path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_uid, ::geteuid());
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
}

// Namespaces of a test's own need no root where the machine lets an ordinary user make a user namespace:
// inside, the test may change the network and the host name.
TEST(TestSupport, NamespacesOfItsOwnNeedNoRoot) {
    if (std::system("unshare --user --map-root-user --net --uts true >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "this machine lets no ordinary user make a user namespace";
    }
    const auto bringUpTheLoopback = [] { EXPECT_EQ(std::system("ip link set lo up"), 0); };
    const auto nameTheHost = [] { return ::sethostname("own", 3) == 0; };
    EXPECT_TRUE(inOwnNamespace(CLONE_NEWNET | CLONE_NEWUTS, bringUpTheLoopback, nameTheHost));
}

// A forked child's exit status comes back as soon as it exits, whether or not the wait may use a pidfd.
TEST(TestSupport, AForkedChildsExitStatusComesBack) {
    const auto statuses = [] {
        return std::pair(runInForkedChild([] { return 0; }), runInForkedChild([] { return 7; }));
    };
    const auto expected = std::pair(std::optional(0), std::optional(7));
    EXPECT_EQ(statuses(), expected);
    EXPECT_EQ(withSystemCallsRefused({SYS_pidfd_open}, ENOSYS, statuses), expected);
}

// A lock another thread held at the fork is never released in the child: a child that waits for one
// fails the test within its limit instead of hanging it, and is not left behind.
TEST(TestSupport, AForkedChildThatHangsFailsTheTestInTime) {
    auto childPid = process::openPipe();
    ASSERT_TRUE(childPid);
    std::mutex shared;
    std::promise<void> held;
    std::promise<void> release;
    std::thread holder([&] {
        const std::lock_guard holding(shared);
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    const auto waitForTheLock = [&] {
        const pid_t self = ::getpid();
        [[maybe_unused]] const auto written = ::write(childPid->writeEnd.get(), &self, sizeof self);
        const std::lock_guard waiting(shared);
        return 0;
    };
    EXPECT_NONFATAL_FAILURE(runInForkedChild(waitForTheLock, 2s), "did not end within 2 s");
    release.set_value();
    holder.join();

    // Reaped: no child of this process any more.
    pid_t child = 0;
    ASSERT_EQ(::read(childPid->readEnd.get(), &child, sizeof child), static_cast<ssize_t>(sizeof child));
    EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

} // namespace
} // namespace kestrava::test
