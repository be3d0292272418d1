#include "agent-core/runtime/Log.hpp"
#include "platform/files/Files.hpp"
#include "platform/time/Iso8601.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"
#include "tests/support/UnflushableFolder.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace kestrava;
namespace fs = std::filesystem;

// Points standard error at a file for the life of the object.
class RedirectedStderr {
public:
    explicit RedirectedStderr(const fs::path& target) : saved_(::dup(STDERR_FILENO)) {
        const int file = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~RedirectedStderr() {
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    RedirectedStderr(const RedirectedStderr&) = delete;
    RedirectedStderr& operator=(const RedirectedStderr&) = delete;

private:
    int saved_;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

fs::perms permissionsOf(const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::mask;
}

fs::path generation(const fs::path& path, const char* suffix) {
    return fs::path(path).concat(suffix);
}

void createFile(const fs::path& path, std::string_view text, mode_t mode) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::fchmod(file, mode);
    ::close(file);
}

// Logs numbered lines of about 1 KiB until the file is rotated away; returns the last line's message.
std::string logUntilRotated(const fs::path& file) {
    const std::string padding(1000, '.');
    for (int i = 0; i < 10'000; ++i) {
        const std::string message = "line " + std::to_string(i) + " " + padding;
        log(LogLevel::info, message);
        if (fs::file_size(file) == 0) {
            return message;
        }
    }
    ADD_FAILURE() << "never rotated";
    return {};
}

TEST(Log, WritesTimeStampedLinesToStandardErrorAndANewPrivateFile) {
    const test::TemporaryDirectory directory;
    const fs::path file = directory / "nested/logs/agent.log";
    // The folders it makes are the user's alone, whatever the umask.
    const mode_t umask = ::umask(0);
    Log::configure(file);
    ::umask(umask);
    EXPECT_EQ(permissionsOf(directory / "nested"), fs::perms::owner_all);
    EXPECT_EQ(permissionsOf(file.parent_path()), fs::perms::owner_all);
    const Timestamp before = timestampFromSeconds(wholeSecondsSince1970(wallClockNow()));
    {
        const RedirectedStderr redirected(directory / "stderr");
        log(LogLevel::info, "hello \u00E9 world");
        logError("it broke");
    }
    const Timestamp after = wallClockNow();

    EXPECT_EQ(test::fileText(directory / "stderr"), test::fileText(file));
    EXPECT_EQ(permissionsOf(file), fs::perms::owner_read | fs::perms::owner_write);
    const std::vector<std::string> lines = linesOf(test::fileText(file));
    ASSERT_EQ(lines.size(), 2u);
    const char* const messages[] = {" INFO hello \u00E9 world", " ERROR it broke"};
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string stamp = lines[i].substr(0, 20);
        EXPECT_THAT(stamp, testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z"));
        const auto time = iso8601::parse(stamp);
        ASSERT_TRUE(time) << lines[i];
        EXPECT_TRUE(*time >= before && *time <= after) << lines[i];
        EXPECT_EQ(lines[i].substr(20), messages[i]);
    }
    EXPECT_EQ(test::fileText(file).back(), '\n');
}

TEST(Log, AppendsAfterOtherWritersAndKeepsAnExistingFilesPermissions) {
    const test::TemporaryDirectory directory;
    const fs::path file = directory / "agent.log";
    createFile(file, "existing\n", 0644);
    const RedirectedStderr redirected(directory / "stderr");
    Log::configure(file);
    // Another process logging into the same file, such as a second agent that exits at once.
    const int other = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(other, 0);
    log(LogLevel::info, "first");
    ASSERT_EQ(::write(other, "other\n", 6), 6);
    log(LogLevel::info, "second");
    ::close(other);

    const std::vector<std::string> lines = linesOf(test::fileText(file));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "existing");
    EXPECT_TRUE(lines[1].ends_with(" INFO first"));
    EXPECT_EQ(lines[2], "other");
    EXPECT_TRUE(lines[3].ends_with(" INFO second"));
    EXPECT_EQ(permissionsOf(file), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                       fs::perms::others_read);
}

// A link would send the lines elsewhere, a FIFO no one reads would block every line, and another user's
// file would show them to that user: each is refused with a line on standard error, and the lines go on
// there only. A file that cannot be made is named with the reason it could not.
TEST(Log, WritesOnlyToARegularFileOfItsOwn) {
    const test::TemporaryDirectory directory;
    const fs::path file = directory / "agent.log";
    createFile(directory / "target", "target\n", 0600);
    struct Row {
        std::string name;
        std::function<void()> put;
        bool needsRoot = false;
        std::string reason = {};
    };
    const std::vector<Row> rows{
        {"a link", [&] { fs::create_symlink(directory / "target", file); }},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
        {"a folder", [&] { fs::create_directory(file); }},
        {"another user's file",
         [&] {
             createFile(file, "theirs\n", 0666);
             ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
         },
         true},
        {"a folder it may not write to", [&] { fs::permissions(directory.path(), fs::perms(0500)); }, false,
         "Permission denied"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsRoot && ::geteuid() != 0) {
            continue; // only root can give a file to another user
        }
        fs::remove_all(file);
        const RedirectedStderr redirected(directory / "stderr");
        row.put();
        test::UnflushableFolder::runAsItsOwner([&] {
            Log::configure(file);
            log(LogLevel::info, "not into " + row.name);
        });
        fs::permissions(directory.path(), fs::perms::owner_all);
        const std::vector<std::string> lines = linesOf(test::fileText(directory / "stderr"));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_THAT(lines[0],
                    testing::HasSubstr(" ERROR not logging to " + file.string() + ": " + row.reason));
        EXPECT_TRUE(lines[1].ends_with(" INFO not into " + row.name));
        if (row.needsRoot) {
            EXPECT_EQ(test::fileText(file), "theirs\n");
        }
    }
    EXPECT_EQ(test::fileText(directory / "target"), "target\n");
}

TEST(Log, LinesOfConcurrentThreadsNeverInterleave) {
    const test::TemporaryDirectory directory;
    const fs::path file = directory / "agent.log";
    Log::configure(file);
    constexpr int linesPerThread = 300;
    {
        const RedirectedStderr redirected(directory / "stderr");
        const auto writer = [](char letter) {
            const std::string message(5000, letter);
            for (int i = 0; i < linesPerThread; ++i) {
                log(LogLevel::info, message);
            }
        };
        std::jthread a(writer, 'a');
        std::jthread b(writer, 'b');
    }
    const std::string a = " INFO " + std::string(5000, 'a');
    const std::string b = " INFO " + std::string(5000, 'b');
    for (const fs::path& output : {file, directory / "stderr"}) {
        const std::vector<std::string> lines = linesOf(test::fileText(output));
        EXPECT_EQ(lines.size(), 2u * linesPerThread) << output;
        for (const std::string& line : lines) {
            ASSERT_TRUE(line.size() == 20 + a.size() && (line.ends_with(a) || line.ends_with(b)))
                << output << ": " << line.substr(0, 80);
        }
    }
}

TEST(Log, RotatesAtTheThresholdKeepingTwoOlderFiles) {
    const test::TemporaryDirectory directory;
    const fs::path file = directory / "agent.log";
    createFile(generation(file, ".1"), "previous first\n", 0600);
    createFile(generation(file, ".2"), "previous second\n", 0600);
    const RedirectedStderr redirected("/dev/null");
    Log::configure(file);

    const std::string crossing = logUntilRotated(file);
    const std::string rotated = test::fileText(generation(file, ".1"));
    EXPECT_EQ(rotated.find(" INFO line 0 "), 20u); // right after the first time stamp
    EXPECT_TRUE(rotated.ends_with(" INFO " + crossing + "\n"));
    EXPECT_GE(rotated.size(), static_cast<std::size_t>(Log::rotationThreshold));
    EXPECT_LT(rotated.size() - linesOf(rotated).back().size() - 1,
              static_cast<std::size_t>(Log::rotationThreshold));
    EXPECT_EQ(test::fileText(generation(file, ".2")), "previous first\n");
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_EQ(permissionsOf(file), fs::perms::owner_read | fs::perms::owner_write);

    log(LogLevel::info, "after rotation");
    EXPECT_TRUE(test::fileText(file).ends_with(" INFO after rotation\n"));
}

TEST(Log, RetriesARotationThatCouldNotMoveTheFiles) {
    const test::TemporaryDirectory directory;
    const fs::path file = directory / "agent.log";
    createFile(generation(file, ".1"), "previous first\n", 0600);
    // A folder in the way of ".2": nothing can be removed or moved, and nothing may be overwritten.
    fs::create_directories(generation(file, ".2") / "blocker");
    const RedirectedStderr redirected("/dev/null");
    Log::configure(file);

    for (int i = 0; i < 6000; ++i) {
        log(LogLevel::info, std::string(1000, 'x'));
    }
    EXPECT_EQ(test::fileText(generation(file, ".1")), "previous first\n");
    EXPECT_GT(fs::file_size(file), static_cast<std::uintmax_t>(Log::rotationThreshold));

    fs::remove_all(generation(file, ".2"));
    log(LogLevel::info, "unblocked");
    EXPECT_EQ(test::fileText(generation(file, ".2")), "previous first\n");
    EXPECT_TRUE(test::fileText(generation(file, ".1")).ends_with(" INFO unblocked\n"));
    EXPECT_EQ(fs::file_size(file), 0u);
}

// Needs a process whose log was never configured.
bool linesBeforeConfigureStayOutOfTheFile() {
    log(LogLevel::info, "before configure");
    const test::TemporaryDirectory directory;
    Log::configure(directory / "agent.log");
    log(LogLevel::info, "after configure");
    const std::vector<std::string> lines = linesOf(test::fileText(directory / "agent.log"));
    return lines.size() == 1 && lines[0].ends_with(" INFO after configure");
}

TEST(LogDeathTest, LinesBeforeConfigureGoToStandardErrorOnly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(linesBeforeConfigureStayOutOfTheFile() ? 0 : 1), testing::ExitedWithCode(0),
                "Z INFO before configure");
}

} // namespace
