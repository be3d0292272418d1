// The test helpers that every other test leans on: a fault in them would hide faults elsewhere.
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestCertificateAuthority.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
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

} // namespace
} // namespace kestrava::test
