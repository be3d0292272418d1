#include "app/system/AdminQueue.hpp"
#include "app/system/PkexecAdminRunner.hpp"
#include "app/system/PowerCommands.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/support/StandInPrograms.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::PowerSetupResult;

// A runner that does what its test says, and notes what it ran and on which thread.
class RecordingRunner final : public app::AdminRunner {
public:
    explicit RecordingRunner(std::function<PowerSetupResult(const std::string&)> behaviour)
        : behaviour_(std::move(behaviour)) {}

    PowerSetupResult run(const std::string& command) override {
        const int running = ++running_;
        {
            const std::lock_guard lock(mutex_);
            mostAtOnce_ = std::max(mostAtOnce_, running);
            commands_.push_back(command);
            threads_.push_back(QThread::currentThread());
        }
        struct Leaving {
            std::atomic<int>& running;
            ~Leaving() { --running; }
        } leaving{running_};
        return behaviour_(command);
    }

    std::vector<std::string> commands() const {
        const std::lock_guard lock(mutex_);
        return commands_;
    }
    std::vector<QThread*> threads() const {
        const std::lock_guard lock(mutex_);
        return threads_;
    }
    int mostAtOnce() const {
        const std::lock_guard lock(mutex_);
        return mostAtOnce_;
    }

private:
    const std::function<PowerSetupResult(const std::string&)> behaviour_;
    std::atomic<int> running_{0};
    mutable std::mutex mutex_;
    int mostAtOnce_ = 0;
    std::vector<std::string> commands_;
    std::vector<QThread*> threads_;
};

struct Resumed {
    PowerSetupResult result;
    QThread* thread;
};

QCoro::Task<Resumed> runNotingThread(std::string command, std::shared_ptr<app::AdminRunner> runner) {
    auto running = app::runOffMain(std::move(command), std::move(runner));
    const PowerSetupResult result = co_await running;
    co_return Resumed{result, QThread::currentThread()};
}

// The administrator's part is shown as it runs, so the texts are checked whole; run against a stand-in
// root, they leave exactly the login manager's drop-in and ask it to reread its settings.
TEST(AdminPower, TheCommandsWriteAndRemoveTheLoginManagerDropIn) {
    EXPECT_EQ(app::powerApplyCommand(),
              "mkdir -p /etc/systemd/logind.conf.d && printf '[Login]\\nIdleAction=ignore\\n' > "
              "/etc/systemd/logind.conf.d/90-kestrava.conf && systemctl kill -s HUP systemd-logind");
    EXPECT_EQ(app::powerUndoCommand(),
              "rm -f /etc/systemd/logind.conf.d/90-kestrava.conf && systemctl kill -s HUP systemd-logind");

    const test::StandInPrograms programs;
    programs.add("systemctl", "echo \"$*\" >> '" + (programs / "systemctl.log").string() + "'\n");
    const auto underRoot = [&](std::string command) {
        for (std::size_t at; (at = command.find(" /etc/")) != std::string::npos;) {
            command.replace(at + 1, 0, (programs / "root").string());
        }
        return std::system(command.c_str());
    };
    const auto dropIn = programs / "root/etc/systemd/logind.conf.d/90-kestrava.conf";

    ASSERT_EQ(underRoot(app::powerApplyCommand()), 0);
    EXPECT_EQ(test::fileText(dropIn), "[Login]\nIdleAction=ignore\n");
    ASSERT_EQ(underRoot(app::powerUndoCommand()), 0);
    EXPECT_FALSE(std::filesystem::exists(dropIn));
    EXPECT_EQ(test::fileText(programs / "systemctl.log"),
              "kill -s HUP systemd-logind\nkill -s HUP systemd-logind\n");
}

// Whatever the runner reports arrives unchanged, an exception as a failure; the runner works off the
// interface thread and the caller resumes on it.
TEST(AdminPower, RunOffMainBringsTheRunnersOutcomeBackToTheInterfaceThread) {
    test::ensureQtApplication();
    struct Row {
        std::string what;
        std::function<PowerSetupResult(const std::string&)> behaviour;
        PowerSetupResult expected;
    };
    const std::vector<Row> table{
        {"applied", [](const std::string&) { return PowerSetupResult::applied(); },
         PowerSetupResult::applied()},
        {"cancelled", [](const std::string&) { return PowerSetupResult::cancelled(); },
         PowerSetupResult::cancelled()},
        {"failed", [](const std::string&) { return PowerSetupResult::failed("no agent"); },
         PowerSetupResult::failed("no agent")},
        {"thrown", [](const std::string&) -> PowerSetupResult { throw std::runtime_error("broken"); },
         PowerSetupResult::failed("broken")},
    };
    for (const auto& row : table) {
        const auto runner = std::make_shared<RecordingRunner>(row.behaviour);
        const test::Started run(runNotingThread("true", runner));
        ASSERT_TRUE(test::runQtUntil([&] { return run.done(); })) << row.what;
        EXPECT_EQ(run.result().result, row.expected) << row.what;
        EXPECT_EQ(run.result().thread, QCoreApplication::instance()->thread()) << row.what;
        EXPECT_EQ(runner->commands(), std::vector<std::string>{"true"}) << row.what;
        ASSERT_EQ(runner->threads().size(), 1u) << row.what;
        EXPECT_NE(runner->threads()[0], QCoreApplication::instance()->thread()) << row.what;
    }
}

TEST(AdminPower, CommandsStartedTogetherRunOneAfterTheOther) {
    test::ensureQtApplication();
    const auto runner = std::make_shared<RecordingRunner>([](const std::string&) {
        std::this_thread::sleep_for(100ms);
        return PowerSetupResult::applied();
    });
    const test::Started first(app::runOffMain("first", runner));
    const test::Started second(app::runOffMain("second", runner));
    ASSERT_TRUE(test::runQtUntil([&] { return first.done() && second.done(); }));
    EXPECT_EQ(runner->commands(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(runner->mostAtOnce(), 1);
}

// The stand-in pkexec runs what it is given, so each row's command plays one way pkexec can end.
TEST(AdminPower, PkexecExitStatusesBecomeResults) {
    const test::StandInPrograms programs;
    programs.add("pkexec", "[ \"$1 $2\" = '/bin/sh -c' ] || exit 99\nexec \"$@\"\n");
    struct Row {
        std::string what;
        std::string command;
        PowerSetupResult expected;
    };
    const std::vector<Row> table{
        {"success", "echo done", PowerSetupResult::applied()},
        {"prompt dismissed", "echo 'Request dismissed' >&2; exit 126", PowerSetupResult::cancelled()},
        {"no authentication agent", "echo 'No authentication agent found.' >&2; exit 127",
         PowerSetupResult::failed("No authentication agent found.")},
        {"command failed with output", "echo partial; echo 'cannot write' >&2; exit 1",
         PowerSetupResult::failed("partial\ncannot write")},
        {"command failed silently", "exit 3", PowerSetupResult::failed("exit 3")},
    };
    for (const auto& row : table) {
        EXPECT_EQ(app::PkexecAdminRunner().run(row.command), row.expected) << row.what;
    }
}

} // namespace
} // namespace kestrava
