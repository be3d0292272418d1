#include "platform/files/Files.hpp"
#include "tests/support/NoReplaceFlag.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

#include <cerrno>

namespace kestrava {
namespace {

namespace fs = std::filesystem;

class MoveNoReplace : public testing::TestWithParam<test::NoReplaceFlag> {
protected:
    int failureOf(const fs::path& from, const fs::path& to) {
        const auto error = test::thrownBy<files::FileError>([&] { files::moveNoReplace(from, to); });
        return error ? error->errorNumber() : 0;
    }

    test::FileSystemWithNoReplaceFlag fileSystem{GetParam()};
    test::TemporaryDirectory folder;
};

// A file or a whole folder takes the new name, on any file system; whatever is already under that name,
// even an empty folder, refuses the move and both stay as they were.
TEST_P(MoveNoReplace, MovesAFileOrAFolderButNeverOverAnything) {
    fs::create_directories(folder / "application" / "translations");
    test::writeText(folder / "application" / "translations" / "vi.qm", "texts");
    test::writeText(folder / "file", "a file");
    fs::create_directory(folder / "empty-folder");
    fs::create_directories(folder / "folder" / "inside");
    test::writeText(folder / "taken-file", "taken");
    for (const char* source : {"application", "file"}) {
        for (const char* taken : {"empty-folder", "folder", "taken-file"}) {
            SCOPED_TRACE(std::string(source) + " onto " + taken);
            EXPECT_EQ(failureOf(folder / source, folder / taken), EEXIST);
        }
    }
    EXPECT_TRUE(fs::is_empty(folder / "empty-folder"));
    EXPECT_TRUE(fs::exists(folder / "folder" / "inside"));
    EXPECT_EQ(test::fileText(folder / "taken-file"), "taken");
    // A folder cannot go inside itself, and the attempt leaves nothing there.
    EXPECT_EQ(failureOf(folder / "application", folder / "application" / "inside"), EINVAL);
    EXPECT_FALSE(fs::exists(folder / "application" / "inside"));
    EXPECT_EQ(failureOf(folder / "missing", folder / "moved"), ENOENT);
    EXPECT_FALSE(fs::exists(folder / "moved"));

    files::moveNoReplace(folder / "application", folder / "moved-application");
    files::moveNoReplace(folder / "file", folder / "moved-file");
    EXPECT_EQ(test::fileText(folder / "moved-application" / "translations" / "vi.qm"), "texts");
    EXPECT_EQ(test::fileText(folder / "moved-file"), "a file");
    EXPECT_FALSE(fs::exists(folder / "application"));
    EXPECT_FALSE(fs::exists(folder / "file"));
}

INSTANTIATE_TEST_SUITE_P(, MoveNoReplace, test::eachNoReplaceFlag, test::nameOfFlag);

} // namespace
} // namespace kestrava
