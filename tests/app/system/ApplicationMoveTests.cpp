#include "app/runtime/UiText.hpp"
#include "app/system/ApplicationMove.hpp"
#include "platform/files/UserFolders.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kestrava {
namespace {

namespace fs = std::filesystem;

// Taken when compared, as the catalogue gives them then.
QString copyFailure() {
    return app::uiText(
        "Không chép được vào Applications — hãy kéo Kestrava vào Applications bằng Finder rồi mở lại.");
}
QString openFailure() {
    return app::uiText("Đã chép Kestrava vào Applications — hãy mở nó từ Applications.");
}

class ApplicationMove : public testing::Test {
protected:
    ApplicationMove() {
        test::ensureQtApplication();
        fs::create_directories(files::dataHome()); // where the user's Trash is made
        fs::create_directories(source / "translations");
        test::writeText(source / "kestrava", "the new program");
        ::chmod((source / "kestrava").c_str(), 0755);
        test::writeText(source / "translations" / "vi.qm", "texts");
    }

    // What `moveApplication` did, with a launcher that notes what it started.
    std::optional<QString> move(bool launches = true) {
        return app::moveApplication(source, destination, [&](const fs::path& copy) {
            launched.push_back(copy);
            return launches;
        });
    }

    // The folders beside the destination, apart from the destination itself: what a move left behind.
    std::vector<fs::path> leftBeside() const {
        std::vector<fs::path> left;
        for (const auto& entry : fs::directory_iterator(destination.parent_path())) {
            if (entry.path() != destination) {
                left.push_back(entry.path());
            }
        }
        return left;
    }

    test::TemporaryDirectory folder;
    fs::path source = folder / "media" / "USB" / "Kestrava";
    fs::path destination = folder / "home" / "Applications" / "Kestrava";
    std::vector<fs::path> launched;
};

// A first install copies the whole folder, modes kept, and starts the copy; an earlier one goes to the
// Trash only once the new copy is complete.
TEST_F(ApplicationMove, CopiesThenReplacesAndStartsTheCopy) {
    EXPECT_EQ(move(), std::nullopt);
    EXPECT_EQ(launched, std::vector{destination});
    EXPECT_EQ(test::fileText(destination / "kestrava"), "the new program");
    EXPECT_EQ(test::fileText(destination / "translations" / "vi.qm"), "texts");
    EXPECT_NE(fs::status(destination / "kestrava").permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_TRUE(leftBeside().empty());
    EXPECT_TRUE(fs::exists(source / "kestrava")); // the source stays where it was

    test::writeText(source / "kestrava", "a newer program");
    test::writeText(destination / "settings-left-by-the-user", "kept in the Trash");
    EXPECT_EQ(move(), std::nullopt);
    EXPECT_EQ(test::fileText(destination / "kestrava"), "a newer program");
    EXPECT_FALSE(fs::exists(destination / "settings-left-by-the-user"));
    const fs::path trashed = files::dataHome() / "Trash" / "files" / "Kestrava";
    EXPECT_EQ(test::fileText(trashed / "settings-left-by-the-user"), "kept in the Trash");
    EXPECT_TRUE(leftBeside().empty());
}

// A copy that fails part way leaves the earlier installation as it was and no half copy; a copy that
// cannot start is left in place with the text that says so.
TEST_F(ApplicationMove, AFailedCopyLosesNothing) {
    fs::create_directories(destination);
    test::writeText(destination / "kestrava", "the installed program");
    ASSERT_EQ(::mkfifo((source / "translations" / "a-pipe").c_str(), 0600), 0); // cannot be copied

    EXPECT_EQ(move(), copyFailure());
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(test::fileText(destination / "kestrava"), "the installed program");
    EXPECT_TRUE(leftBeside().empty());

    // A destination whose folder cannot be made.
    fs::remove(source / "translations" / "a-pipe");
    const fs::path blocked = folder / "a-file";
    test::writeText(blocked, "");
    destination = blocked / "Kestrava";
    EXPECT_EQ(move(), copyFailure());

    destination = folder / "elsewhere" / "Kestrava";
    EXPECT_EQ(move(false), openFailure());
    EXPECT_EQ(test::fileText(destination / "kestrava"), "the new program");
}

} // namespace
} // namespace kestrava
