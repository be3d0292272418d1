#include "app/system/ProcessRunner.hpp"

#include <QCoro/QCoroFuture>
#include <QProcess>
#include <QtConcurrent/QtConcurrentRun>

namespace kestrava::app {
namespace {

// How long a program has to end after SIGTERM before it is killed: one that ignores SIGTERM must not keep
// a worker thread.
constexpr std::chrono::milliseconds terminateGrace = std::chrono::seconds(1);

// Blocks its thread, so it runs on the global pool. QProcess's blocking waits need no event loop and drain
// the output while they wait, so a program that writes more than a pipe holds never stalls; a program that
// cannot be started is told at once rather than after a wait for a signal that never comes.
ProcessResult runBlocking(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          std::chrono::milliseconds timeout) {
    QStringList argumentList;
    for (const std::string& argument : arguments) {
        argumentList.append(QString::fromStdString(argument));
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QString::fromStdString(program.string()), argumentList, QIODevice::ReadOnly);
    if (!process.waitForStarted()) {
        return {};
    }
    process.waitForFinished(static_cast<int>(timeout.count()));
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(static_cast<int>(terminateGrace.count()))) {
            process.kill();
            process.waitForFinished(-1); // SIGKILL cannot be refused
        }
        return {std::nullopt, {}, true};
    }
    const std::optional<int> status =
        process.exitStatus() == QProcess::NormalExit ? std::optional(process.exitCode()) : std::nullopt;
    return {status, QString::fromUtf8(process.readAll()).toStdString()};
}

} // namespace

QCoro::Task<ProcessResult> runProcess(std::filesystem::path program, std::vector<std::string> arguments,
                                      std::chrono::milliseconds timeout) {
    QFuture<ProcessResult> running =
        QtConcurrent::run(runBlocking, std::move(program), std::move(arguments), timeout);
    ProcessResult result = co_await running;
    co_return result;
}

} // namespace kestrava::app
