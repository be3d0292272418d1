#include "platform/keychain/GenericPasswords.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/UnflushableFolder.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrava::keychain {
namespace {

constexpr char service[] = "com.example.agent";

mode_t permissionsOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

class GenericPasswordsTest : public testing::Test {
protected:
    test::TemporaryDirectory base;
    std::filesystem::path folder = base / service;
    GenericPasswords items{service, base.path()};

    std::int32_t statusOfCopy(std::string_view account) { return items.copyItem(account).status; }
};

TEST_F(GenericPasswordsTest, ItemsGoThroughTheirLifeCycle) {
    EXPECT_EQ(statusOfCopy("agentToken"), status::itemNotFound);
    EXPECT_EQ(items.updateItem("agentToken", bytesOf("one")), status::itemNotFound);
    EXPECT_EQ(items.deleteItem("agentToken"), status::itemNotFound);

    EXPECT_EQ(items.addItem("agentToken", bytesOf("one")), status::success);
    EXPECT_EQ(items.addItem("agentToken", bytesOf("two")), status::duplicateItem);
    EXPECT_EQ(textOf(items.copyItem("agentToken").data), "one");

    EXPECT_EQ(items.updateItem("agentToken", bytesOf("three")), status::success);
    const auto copied = items.copyItem("agentToken");
    EXPECT_EQ(copied.status, status::success);
    EXPECT_EQ(textOf(copied.data), "three");

    EXPECT_EQ(items.deleteItem("agentToken"), status::success);
    EXPECT_EQ(statusOfCopy("agentToken"), status::itemNotFound);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(GenericPasswordsTest, ItemsArePrivateFilesInAPrivateFolder) {
    ASSERT_EQ(items.addItem("macAgreeKey", Bytes(32, 7)), status::success);
    EXPECT_EQ(permissionsOf(folder), 0700u);
    EXPECT_EQ(permissionsOf(folder / "macAgreeKey"), 0600u);

    ASSERT_EQ(::chmod((folder / "macAgreeKey").c_str(), 0644), 0);
    ASSERT_EQ(items.updateItem("macAgreeKey", Bytes(32, 8)), status::success);
    EXPECT_EQ(permissionsOf(folder / "macAgreeKey"), 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1)
        << "a temporary file was left";

    for (const mode_t shared : {0750, 0705, 0770}) {
        ASSERT_EQ(::chmod(folder.c_str(), shared), 0);
        EXPECT_EQ(statusOfCopy("macAgreeKey"), status::ioError) << std::oct << shared;
        EXPECT_EQ(items.addItem("agentToken", bytesOf("t")), status::ioError) << std::oct << shared;
        EXPECT_EQ(items.updateItem("macAgreeKey", Bytes(32, 9)), status::ioError) << std::oct << shared;
    }
    EXPECT_EQ(permissionsOf(folder), 0770u) << "an existing folder keeps its permissions";
    EXPECT_EQ(items.folderProblem(), "secret store folder " + folder.string() + " is refused: owner uid " +
                                         std::to_string(::geteuid()) + ", mode 0770; it must belong to uid " +
                                         std::to_string(::geteuid()) +
                                         " and give others no access (mode 0700)");
    ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
    EXPECT_EQ(items.folderProblem(), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(folder / "agentToken"));
}

// The item is in place once renamed: a folder that cannot be flushed after that is reported, not a
// failed write.
TEST(GenericPasswords, AFolderThatCannotBeFlushedAfterTheRenameFailsNoWrite) {
    test::UnflushableFolder folder;
    std::vector<int> unflushed;
    const GenericPasswords items(
        folder.path().filename(), folder.path().parent_path(),
        [&](const files::FileError& error) { unflushed.push_back(error.errorNumber()); });
    test::UnflushableFolder::runAsItsOwner([&] {
        EXPECT_EQ(items.addItem("agentToken", bytesOf("one")), status::success);
        EXPECT_EQ(items.updateItem("agentToken", bytesOf("two")), status::success);
        EXPECT_EQ(textOf(items.copyItem("agentToken").data), "two");
    });
    EXPECT_EQ(unflushed, (std::vector<int>{EACCES, EACCES}));
}

TEST_F(GenericPasswordsTest, NamesMustBeSingleFileNames) {
    const std::string_view unsafeNames[] = {"", ".", "..", "a/b", "/etc", std::string_view("a\0b", 3)};
    for (const std::string_view unsafe : unsafeNames) {
        EXPECT_EQ(statusOfCopy(unsafe), status::invalidParameter);
        EXPECT_EQ(items.addItem(unsafe, bytesOf("x")), status::invalidParameter);
        EXPECT_EQ(items.updateItem(unsafe, bytesOf("x")), status::invalidParameter);
        EXPECT_EQ(items.deleteItem(unsafe), status::invalidParameter);

        const GenericPasswords unsafeService(std::string(unsafe), base.path());
        EXPECT_EQ(unsafeService.addItem("agentToken", bytesOf("x")), status::invalidParameter);
        EXPECT_EQ(unsafeService.copyItem("agentToken").status, status::invalidParameter);
    }
    EXPECT_TRUE(std::filesystem::is_empty(base.path()));
}

TEST_F(GenericPasswordsTest, RefusedAccessIsWorthRetryingAndOtherFailuresAreNot) {
    EXPECT_EQ(statusForErrno(EACCES), status::interactionNotAllowed);
    EXPECT_EQ(statusForErrno(EPERM), status::interactionNotAllowed);
    EXPECT_EQ(statusForErrno(ENOKEY), status::interactionNotAllowed);
    EXPECT_EQ(statusForErrno(ENOENT), status::itemNotFound);
    EXPECT_EQ(statusForErrno(EIO), status::ioError);
    EXPECT_EQ(statusForErrno(ENOSPC), status::ioError);

    ASSERT_EQ(items.addItem("agentToken", bytesOf("t")), status::success);
    ASSERT_EQ(::chmod((folder / "agentToken").c_str(), 0), 0);
    if (::geteuid() != 0) { // permissions do not stop root
        EXPECT_EQ(statusOfCopy("agentToken"), status::interactionNotAllowed);
    }
    ASSERT_EQ(::unlink((folder / "agentToken").c_str()), 0);
    ASSERT_EQ(::mkdir((folder / "agentToken").c_str(), 0700), 0);
    EXPECT_EQ(statusOfCopy("agentToken"), status::ioError);
    // A FIFO no one writes to is refused at once instead of blocking the reader.
    ASSERT_EQ(::rmdir((folder / "agentToken").c_str()), 0);
    ASSERT_EQ(::mkfifo((folder / "agentToken").c_str(), 0600), 0);
    EXPECT_EQ(statusOfCopy("agentToken"), status::ioError);
}

} // namespace
} // namespace kestrava::keychain
