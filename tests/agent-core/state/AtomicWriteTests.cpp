#include "agent-core/state/AtomicWrite.hpp"
#include "agent-core/state/DataLocations.hpp"
#include "platform/files/FileError.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrava {
namespace {

mode_t permissionsOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0);
    return status.st_mode & 07777;
}

TEST(AtomicWrite, CreatesFoldersAndLeavesOwnerOnlyFiles) {
    test::TemporaryDirectory folder;
    const auto target = folder / "a" / "b" / "state.json";
    atomicWrite(bytesOf("one"), target);
    EXPECT_EQ(test::fileText(target), "one");
    EXPECT_EQ(permissionsOf(folder / "a"), 0700u);
    EXPECT_EQ(permissionsOf(target), 0600u);

    ::chmod(target.c_str(), 0644);
    ::chmod((folder / "a" / "b").c_str(), 0755);
    atomicWrite(bytesOf("two"), target);
    EXPECT_EQ(test::fileText(target), "two");
    EXPECT_EQ(permissionsOf(target), 0600u);
    EXPECT_EQ(permissionsOf(folder / "a" / "b"), 0755u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "a" / "b"), {}), 1);
}

TEST(AtomicWrite, AFailedReplacementLeavesNoTemporaryFile) {
    test::TemporaryDirectory folder;
    const auto target = folder / "config.json";
    std::filesystem::create_directories(target / "inside");
    EXPECT_THROW(atomicWrite(bytesOf("x"), target), files::FileError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

    // A regular file where a folder should be.
    std::ofstream(folder / "blocker") << "";
    EXPECT_THROW(atomicWrite(bytesOf("x"), folder / "blocker" / "config.json"), files::FileError);
}

// A writer killed at any moment leaves the old or the new file, never a part of one.
TEST(AtomicWrite, AKilledWriterLeavesOldOrNewContents) {
    test::TemporaryDirectory folder;
    const auto target = folder / "state.json";
    const std::string oldText(1 << 20, 'o');
    const std::string newText(1 << 20, 'n');
    atomicWrite(bytesOf(oldText), target);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                atomicWrite(bytesOf(round % 2 ? oldText : newText), target);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + 700 * round));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string text = test::fileText(target);
        EXPECT_TRUE(text == oldText || text == newText)
            << "round " << round << ": " << text.size() << " bytes";
    }
}

TEST(AtomicWriteDeathTest, TestsNeverWriteTheRealDataFolder) {
    EXPECT_DEATH(atomicWrite(bytesOf("x"), dataDirectory() / "config.json"), "real data folder");
    EXPECT_DEATH(atomicWrite(bytesOf("x"), defaultDataDirectory() / "sub" / ".." / "state.json"),
                 "real data folder");
    test::TemporaryDirectory elsewhere;
    EXPECT_NO_THROW(atomicWrite(bytesOf("x"), elsewhere / "Kestrava" / "config.json"));
}

} // namespace
} // namespace kestrava
