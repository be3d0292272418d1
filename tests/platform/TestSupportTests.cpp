// The test helpers that every other test leans on: a fault in them would hide faults elsewhere.
#include "tests/support/OwnNamespace.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestCertificateAuthority.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sched.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrava::test {
namespace {

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

} // namespace
} // namespace kestrava::test
