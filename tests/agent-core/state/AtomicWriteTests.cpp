#include "agent-core/state/AtomicWrite.hpp"
#include "agent-core/state/Config.hpp"
#include "agent-core/state/DataLocations.hpp"
#include "agent-core/state/StateStore.hpp"
#include "platform/files/FileError.hpp"
#include "platform/json/Reader.hpp"
#include "tests/support/CapturedLog.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"
#include "tests/support/UnflushableFolder.hpp"

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
    EXPECT_FALSE(atomicWrite(bytesOf("one"), target).has_value());
    EXPECT_EQ(test::fileText(target), "one");
    EXPECT_EQ(permissionsOf(folder / "a"), 0700u);
    EXPECT_EQ(permissionsOf(target), 0600u);

    ::chmod(target.c_str(), 0644);
    ::chmod((folder / "a" / "b").c_str(), 0755);
    EXPECT_FALSE(atomicWrite(bytesOf("two"), target).has_value());
    EXPECT_EQ(test::fileText(target), "two");
    EXPECT_EQ(permissionsOf(target), 0600u);
    EXPECT_EQ(permissionsOf(folder / "a" / "b"), 0755u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "a" / "b"), {}), 1);
}

TEST(AtomicWrite, AFailedReplacementLeavesNoTemporaryFile) {
    test::TemporaryDirectory folder;
    const auto target = folder / "config.json";
    std::filesystem::create_directories(target / "inside");
    EXPECT_THROW((void)atomicWrite(bytesOf("x"), target), files::FileError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

    // A regular file where a folder should be.
    std::ofstream(folder / "blocker") << "";
    EXPECT_THROW((void)atomicWrite(bytesOf("x"), folder / "blocker" / "config.json"), files::FileError);
}

// A writer killed at any moment leaves the old or the new file, never a part of one.
TEST(AtomicWrite, AKilledWriterLeavesOldOrNewContents) {
    test::TemporaryDirectory folder;
    const auto target = folder / "state.json";
    const std::string oldText(1 << 20, 'o');
    const std::string newText(1 << 20, 'n');
    EXPECT_FALSE(atomicWrite(bytesOf(oldText), target).has_value());
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                (void)atomicWrite(bytesOf(round % 2 ? oldText : newText), target);
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

// Once the new file is renamed into place the write has succeeded; a folder that cannot be flushed after
// that is a warning, not a failed save (a save reported as failed would be retried, a registration even
// repeated with the relay).
TEST(AtomicWrite, AFolderThatCannotBeFlushedAfterTheRenameFailsNoSave) {
    test::UnflushableFolder folder;
    const test::CapturedLog log;
    const Config config{*url::Url::parseReference("https://relay.example.com"), "dev-1", "Mac", false};
    test::UnflushableFolder::runAsItsOwner([&] {
        const auto unflushed = atomicWrite(bytesOf("one"), folder.path() / "notes");
        ASSERT_TRUE(unflushed.has_value());
        EXPECT_EQ(unflushed->errorNumber(), EACCES);
        // The configuration's save leaves the warning to its caller, who may hold a lock.
        EXPECT_EQ(config.save(folder.path() / "config.json").value().errorNumber(), EACCES);
        StateStore store(folder.path() / "state.json");
        store.upsert({"phone-1", "Phone", {0x04}, {0x04}, wallClockNow(), std::nullopt});
        store.save();
        EXPECT_TRUE(store.checkAndRecord("nonce-1", wallClockNow()));
    });
    EXPECT_EQ(test::fileText(folder.path() / "notes"), "one");
    EXPECT_EQ(Config::decode(json::ObjectReader(json::parse(test::fileText(folder.path() / "config.json")))),
              config);
    EXPECT_EQ(StateStore(folder.path() / "state.json").phones().size(), 1u);
    EXPECT_EQ(log.count("WARN saved, but a power cut may still undo it: fsync " + folder.path().string() +
                        ": Permission denied"),
              2u);
}

TEST(AtomicWriteDeathTest, TestsNeverWriteTheRealDataFolder) {
    EXPECT_DEATH((void)atomicWrite(bytesOf("x"), dataDirectory() / "config.json"), "real data folder");
    EXPECT_DEATH((void)atomicWrite(bytesOf("x"), defaultDataDirectory() / "sub" / ".." / "state.json"),
                 "real data folder");
    test::TemporaryDirectory elsewhere;
    EXPECT_NO_THROW((void)atomicWrite(bytesOf("x"), elsewhere / "Kestrava" / "config.json"));
}

} // namespace
} // namespace kestrava
