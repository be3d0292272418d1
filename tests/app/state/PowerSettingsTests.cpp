#include "app/state/PowerSettings.hpp"
#include "app/system/PowerCommands.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/StandInPrograms.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <mutex>

namespace kestrava {
namespace {

using app::PowerSetupResult;

// Answers every command the same way and remembers the commands.
class ScriptedAdminRunner final : public app::AdminRunner {
public:
    explicit ScriptedAdminRunner(PowerSetupResult answer) : answer_(std::move(answer)) {}

    PowerSetupResult run(const std::string& command) override {
        const std::lock_guard lock(mutex_);
        commands_.push_back(command);
        return answer_;
    }

    std::vector<std::string> commands() const {
        const std::lock_guard lock(mutex_);
        return commands_;
    }

private:
    const PowerSetupResult answer_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
};

// The two keys as a test writes and reads them; an empty flag stands for none.
struct StoredScope {
    std::optional<bool> applied;
    std::string flags;
    bool operator==(const StoredScope&) const = default;
};

void store(app::Defaults& defaults, const StoredScope& scope) {
    if (scope.applied) {
        defaults.setBoolean("powerApplied", *scope.applied);
    }
    if (!scope.flags.empty()) {
        defaults.setText("powerAppliedFlags", scope.flags);
    }
}

StoredScope storedIn(const app::Defaults& defaults) {
    return {defaults.boolean("powerApplied"), defaults.text("powerAppliedFlags").value_or("")};
}

PowerSetupResult finished(QCoro::Task<PowerSetupResult> task) {
    const test::Started run(std::move(task));
    EXPECT_TRUE(test::runQtUntil([&] { return run.done(); }));
    return run.done() ? run.result() : PowerSetupResult::failed("did not finish");
}

class PowerSettings : public testing::Test {
protected:
    PowerSettings() { test::ensureQtApplication(); }

    // No GNOME step unless a test asks for one.
    test::EnvironmentOverride desktop_{"XDG_CURRENT_DESKTOP", "KDE"};
};

// Only an applied command records the scope; the flag says which power sources were asked for.
TEST_F(PowerSettings, ApplyRecordsTheScopeOnlyWhenApplied) {
    struct Row {
        bool onlyAC;
        PowerSetupResult answer;
        StoredScope after;
    };
    const std::vector<Row> table{
        {true, PowerSetupResult::applied(), {true, "-c"}},
        {false, PowerSetupResult::applied(), {true, "-a"}},
        {true, PowerSetupResult::cancelled(), {}},
        {false, PowerSetupResult::failed("exit 1"), {}},
    };
    for (const auto& row : table) {
        test::TemporaryDirectory folder;
        const auto defaults = std::make_shared<app::Defaults>(folder / "Kestrava.conf");
        const auto runner = std::make_shared<ScriptedAdminRunner>(row.answer);
        EXPECT_EQ(finished(app::applyPowerSettings(row.onlyAC, defaults, runner)), row.answer);
        EXPECT_EQ(runner->commands(), std::vector<std::string>{app::powerApplyCommand()});
        EXPECT_EQ(storedIn(*defaults), row.after);
    }
}

// The scope is stored only with "powerApplied" true and an exact flag. Undo runs only over a stored scope
// and forgets it only when applied; keys that cannot describe a scope are cleared, a valid flag waiting
// for "powerApplied" is kept.
TEST_F(PowerSettings, UndoRunsOverAStoredScopeAndCleansTheKeys) {
    const auto applied = PowerSetupResult::applied();
    struct Row {
        StoredScope before;
        std::optional<bool> scope;
        PowerSetupResult answer;
        StoredScope after;
    };
    const std::vector<Row> table{
        {{true, "-c"}, true, applied, {}},
        {{true, "-a"}, false, PowerSetupResult::cancelled(), {true, "-a"}},
        {{true, "-a"}, false, PowerSetupResult::failed("exit 1"), {true, "-a"}},
        {{}, std::nullopt, applied, {}},
        {{true, "-C"}, std::nullopt, applied, {}},
        {{false, ""}, std::nullopt, applied, {}},
        {{false, "-a"}, std::nullopt, applied, {false, "-a"}},
        {{std::nullopt, "-c"}, std::nullopt, applied, {std::nullopt, "-c"}},
    };
    for (const auto& row : table) {
        const std::string what = std::to_string(row.before.applied.value_or(false)) + " " + row.before.flags;
        test::TemporaryDirectory folder;
        const auto defaults = std::make_shared<app::Defaults>(folder / "Kestrava.conf");
        store(*defaults, row.before);
        EXPECT_EQ(app::storedPowerScope(*defaults), row.scope) << what;
        const auto runner = std::make_shared<ScriptedAdminRunner>(row.answer);
        EXPECT_EQ(finished(app::undoPowerSetup(defaults, runner)),
                  row.scope ? row.answer : PowerSetupResult::failed("nothing to undo"))
            << what;
        EXPECT_EQ(runner->commands(),
                  row.scope ? std::vector<std::string>{app::powerUndoCommand()} : std::vector<std::string>{})
            << what;
        EXPECT_EQ(storedIn(app::Defaults(folder / "Kestrava.conf")), row.after) << what;
    }
}

// The user's own GNOME idle suspend follows the administrator's part: turned off only once that is
// applied, and put back to what it was before the first apply (the default when that was unreadable).
// The stand-in gsettings keeps the value in a file, as the real one keeps it in the user's settings.
TEST_F(PowerSettings, GnomeIdleSuspendFollowsTheAdministratorsPart) {
    const auto applied = PowerSetupResult::applied();
    const auto cancelled = PowerSetupResult::cancelled();
    struct Row {
        std::string what;
        std::string desktop;
        std::optional<std::string> before;
        std::vector<PowerSetupResult> applies;
        PowerSetupResult undo;
        std::optional<std::string> afterApply;
        std::optional<std::string> afterUndo;
    };
    const std::vector<Row> table{
        {"applied, undone", "ubuntu:GNOME", "'hibernate'", {applied}, applied, "'nothing'", "'hibernate'"},
        {"applied twice, undone",
         "GNOME",
         "'hibernate'",
         {applied, applied},
         applied,
         "'nothing'",
         "'hibernate'"},
        {"prompt refused", "GNOME", "'hibernate'", {cancelled}, applied, "'hibernate'", "'hibernate'"},
        {"undo refused", "GNOME", "'hibernate'", {applied}, cancelled, "'nothing'", "'nothing'"},
        {"earlier value unreadable", "GNOME", std::nullopt, {applied}, applied, "'nothing'", "'suspend'"},
        {"another desktop", "KDE", "'hibernate'", {applied}, applied, "'hibernate'", "'hibernate'"},
    };
    for (const auto& row : table) {
        const test::StandInPrograms programs;
        const auto value = programs / "value";
        const auto log = programs / "calls";
        programs.add("gsettings", "echo \"$*\" >> '" + log.string() + "'\n" + "case \"$1\" in\n" +
                                      "get) cat '" + value.string() + "' || exit 1 ;;\n" +
                                      "set) echo \"$4\" > '" + value.string() + "' ;;\n" +
                                      "reset) echo \"'suspend'\" > '" + value.string() + "' ;;\n" + "esac\n");
        if (row.before) {
            test::writeText(value, *row.before + "\n");
        }
        const auto current = [&]() -> std::optional<std::string> {
            if (!std::filesystem::exists(value)) {
                return std::nullopt;
            }
            const std::string text = test::fileText(value);
            return text.substr(0, text.find('\n'));
        };
        const test::EnvironmentOverride desktop("XDG_CURRENT_DESKTOP", row.desktop);
        test::TemporaryDirectory folder;
        const auto defaults = std::make_shared<app::Defaults>(folder / "Kestrava.conf");

        for (const auto& answer : row.applies) {
            finished(app::applyPowerSettings(true, defaults, std::make_shared<ScriptedAdminRunner>(answer)));
        }
        EXPECT_EQ(current(), row.afterApply) << row.what;
        finished(app::undoPowerSetup(defaults, std::make_shared<ScriptedAdminRunner>(row.undo)));
        EXPECT_EQ(current(), row.afterUndo) << row.what;
        if (row.afterApply == row.before) {
            EXPECT_FALSE(std::filesystem::exists(log)) << row.what << ": gsettings ran";
        }
    }
}

} // namespace
} // namespace kestrava
