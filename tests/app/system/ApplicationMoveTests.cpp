#include "agent-core/runtime/AgentEnvironment.hpp"
#include "app/runtime/UiText.hpp"
#include "app/system/AgentExecutable.hpp"
#include "app/system/ApplicationFolder.hpp"
#include "app/system/ApplicationMove.hpp"
#include "platform/files/UserFolders.hpp"
#include "tests/app-support/InstalledTree.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/support/NoReplaceFlag.hpp"
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

// Each test runs on a file system whose rename knows the flag that refuses an existing target and on one
// that does not.
class ApplicationMove : public testing::TestWithParam<test::NoReplaceFlag> {
protected:
    ApplicationMove() {
        test::ensureQtApplication();
        fs::create_directories(files::dataHome()); // where the user's Trash is made
        fs::remove_all(trash);                     // empty, whatever ran before
        fs::create_directories(source / "translations");
        test::writeText(source / "kestrava", "the new program");
        ::chmod((source / "kestrava").c_str(), 0755);
        test::writeText(source / "translations" / "vi.qm", "texts");
    }

    // The real steps, with a launcher that notes what it started.
    app::MoveSteps steps(bool launches = true) {
        return app::fileSystemSteps([this, launches](const fs::path& copy) {
            launched.push_back(copy);
            return launches;
        });
    }

    // What `moveApplication` did with those steps.
    std::optional<QString> move(bool launches = true) {
        return app::moveApplication(source, destination, steps(launches));
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

    test::FileSystemWithNoReplaceFlag fileSystem{GetParam()};
    test::TemporaryDirectory folder;
    fs::path source = folder / "media" / "USB" / "Kestrava";
    fs::path destination = folder / "home" / "Applications" / "Kestrava";
    const fs::path trash = files::dataHome() / "Trash";
    std::vector<fs::path> launched;
};

// A first install copies the whole folder, modes kept, and starts the copy; an earlier one goes to the
// Trash only once the new copy is complete.
TEST_P(ApplicationMove, CopiesThenReplacesAndStartsTheCopy) {
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
    const fs::path trashed = trash / "files" / "Kestrava";
    EXPECT_EQ(test::fileText(trashed / "settings-left-by-the-user"), "kept in the Trash");
    EXPECT_TRUE(leftBeside().empty());
}

// A copy that fails part way leaves the earlier installation as it was and no half copy; a copy that
// cannot start is left in place with the text that says so.
TEST_P(ApplicationMove, AFailedCopyLosesNothing) {
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

// A source that holds far more than the two programs (a whole medium, say) is refused before anything is
// copied. The file is sparse: what counts is the size it gives.
TEST_P(ApplicationMove, RefusesASourceFarLargerThanTheApplication) {
    test::writeText(source / "translations" / "a-film", "");
    fs::resize_file(source / "translations" / "a-film", std::uintmax_t{257} << 20);
    EXPECT_EQ(move(), copyFailure());
    EXPECT_TRUE(launched.empty());
    EXPECT_FALSE(fs::exists(destination.parent_path()));
}

// The agent travels with the application, from a build tree and from an installed tree alike: moved off
// the medium, the copy names the agent in the copy, and that agent admits the copied application. The
// programs here are stand-ins; what names them is what the build and its install write.
TEST_P(ApplicationMove, TheAgentTravelsWithTheApplication) {
    const test::InstalledTree& tree = test::InstalledTree::once();
    const struct {
        std::string what;
        fs::path base, application, agent, applicationInfo;
    } layouts[] = {
        {"build tree", test::inBuildTree(""), test::inBuildTree("app/kestrava"),
         test::inBuildTree("agent/kestrava-agent"), test::inBuildTree("app/Info.json")},
        {"installed tree", tree.prefix, tree.application, tree.agent, tree.applicationInfo},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.what);
        const auto onMedium = [&](const fs::path& file) {
            return source / file.lexically_relative(layout.base);
        };
        fs::remove_all(source);
        for (const fs::path& program : {layout.application, layout.agent}) {
            fs::create_directories(onMedium(program).parent_path());
            test::writeText(onMedium(program), "a program");
        }
        for (const fs::path& info : {layout.applicationInfo, layout.agent.parent_path() / "Info.json"}) {
            fs::create_directories(onMedium(info).parent_path());
            fs::copy_file(info, onMedium(info));
        }
        const fs::path running = onMedium(layout.application);
        const auto agent = app::agentExecutable(bundleInfoOf(running), running.parent_path());
        EXPECT_EQ(agent, onMedium(layout.agent));
        const fs::path moved = app::applicationFolder(running.parent_path(), agent);
        EXPECT_EQ(moved, source);

        fs::remove_all(destination);
        EXPECT_EQ(move(), std::nullopt);
        const fs::path copiedApplication = destination / layout.application.lexically_relative(layout.base);
        const fs::path copiedAgent = destination / layout.agent.lexically_relative(layout.base);
        EXPECT_EQ(app::agentExecutable(bundleInfoOf(copiedApplication), copiedApplication.parent_path()),
                  copiedAgent);
        EXPECT_TRUE(fs::exists(copiedAgent));
        EXPECT_EQ(programNamedBy(bundleInfoOf(copiedAgent), "KVAppExecutable", copiedAgent.parent_path()),
                  copiedApplication);
    }
}

// Which installation a folder holds: the earlier one, the new copy (whole), or none.
enum class Holds { nothing, earlier, copy };

void PrintTo(Holds holds, std::ostream* out) {
    *out << (holds == Holds::earlier ? "the earlier installation"
             : holds == Holds::copy  ? "the copy"
                                     : "nothing");
}

Holds whatIsIn(const fs::path& folder) {
    if (!fs::exists(folder)) {
        return Holds::nothing;
    }
    if (test::fileText(folder / "kestrava") == "the installed program") {
        return Holds::earlier;
    }
    const bool whole = test::fileText(folder / "kestrava") == "the new program" &&
                       test::fileText(folder / "translations" / "vi.qm") == "texts";
    return whole ? Holds::copy : Holds::nothing;
}

// Each step that can fail, failed on its own or with the step that would mend it: one complete
// installation is always left, at the destination where it can be, else the copy under its hidden name
// beside it; the Trash keeps only what it was given for good.
TEST_P(ApplicationMove, EveryFailureLeavesOneCompleteInstallation) {
    struct Case {
        const char* failing;
        bool earlierInstalled;
        bool copyText; // else the open failure text
        Holds atDestination;
        Holds hiddenBeside;
        Holds inTheTrash;
    };
    const Case cases[] = {
        {"copy", true, true, Holds::earlier, Holds::nothing, Holds::nothing},
        {"copy", false, true, Holds::nothing, Holds::nothing, Holds::nothing},
        {"trash", true, true, Holds::earlier, Holds::nothing, Holds::nothing},
        {"rename", true, true, Holds::earlier, Holds::nothing, Holds::nothing},
        {"rename", false, true, Holds::nothing, Holds::nothing, Holds::nothing},
        {"rename putBack", true, true, Holds::nothing, Holds::copy, Holds::earlier},
        {"launch", true, false, Holds::copy, Holds::nothing, Holds::earlier},
        {"launch", false, false, Holds::copy, Holds::nothing, Holds::nothing},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(std::string(row.failing) + (row.earlierInstalled ? " over an earlier one" : ""));
        fs::remove_all(destination.parent_path());
        fs::remove_all(trash);
        if (row.earlierInstalled) {
            fs::create_directories(destination);
            test::writeText(destination / "kestrava", "the installed program");
        }
        const std::string failing = row.failing;
        const auto fails = [&failing](const char* step) { return failing.find(step) != std::string::npos; };
        app::MoveSteps failingSteps = steps(!fails("launch"));
        const app::MoveSteps real = failingSteps;
        failingSteps.copy = [&](const fs::path& from, const fs::path& to) {
            return !fails("copy") && real.copy(from, to);
        };
        failingSteps.trash = [&](const fs::path& folder) {
            return fails("trash") ? std::nullopt : real.trash(folder);
        };
        failingSteps.putBack = [&](const fs::path& trashed, const fs::path& place) {
            return !fails("putBack") && real.putBack(trashed, place);
        };
        failingSteps.rename = [&](const fs::path& from, const fs::path& to) {
            return !fails("rename") && real.rename(from, to);
        };

        EXPECT_EQ(app::moveApplication(source, destination, failingSteps),
                  row.copyText ? copyFailure() : openFailure());
        EXPECT_EQ(whatIsIn(destination), row.atDestination);
        const auto beside = leftBeside();
        EXPECT_LE(beside.size(), 1U);
        EXPECT_EQ(beside.empty() ? Holds::nothing : whatIsIn(beside[0]), row.hiddenBeside);
        EXPECT_EQ(whatIsIn(trash / "files" / "Kestrava"), row.inTheTrash);
        // What came back from the Trash left no entry there.
        EXPECT_EQ(fs::exists(trash / "info" / "Kestrava.trashinfo"), row.inTheTrash != Holds::nothing);
    }
}

INSTANTIATE_TEST_SUITE_P(, ApplicationMove, test::eachNoReplaceFlag, test::nameOfFlag);

} // namespace
} // namespace kestrava
