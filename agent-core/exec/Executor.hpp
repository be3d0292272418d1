#pragma once

#include "agent-core/exec/EarlyCancels.hpp"
#include "agent-core/exec/ExecError.hpp"
#include "agent-core/exec/ExecResult.hpp"
#include "agent-core/exec/ShellJob.hpp"

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/strand.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace kestrava {

// Runs the shell commands of paired phones, at most four at a time, each as a ShellJob, and cancels them
// by identifier, also when the cancel arrives before its command. Its steps run one at a time on a strand
// of the pool; while a command runs the executor waits for nothing, so the pool is never held for a job's
// length. Completions follow asio's conventions: run(..., boost::asio::use_future) gives a future whose
// get() throws ExecError; a plain function receives (std::exception_ptr, ExecResult) on the pool, or on
// its own associated executor. Create it with std::make_shared.
class Executor : public std::enable_shared_from_this<Executor> {
public:
    using OutputHandler = ShellJob::OutputHandler;
    using RunSignature = void(std::exception_ptr, ExecResult);
    using DoneSignature = void();

    static constexpr std::size_t maxConcurrent = 4;
    // The output cap of every job, both streams together.
    static constexpr std::int64_t maxOutput = 1048576;
    // How long a silent command runs before the Full Disk Access hint is considered.
    static constexpr std::chrono::milliseconds permissionHintDelay{5000};
    static constexpr std::int64_t shortestTimeoutSec = 1;
    static constexpr std::int64_t longestTimeoutSec = 600;

    // `fdaProbe` tells whether the agent has Full Disk Access; it must not throw.
    Executor(const boost::asio::any_io_executor& pool, std::function<bool()> fdaProbe);

    // Runs `cmd` as the job `id` (the phone's id, "/", the command's id) with timeoutSec brought into
    // 1...600 and completes when it has ended. Completes at once with ExecResult {none, 0, false, false}
    // when a cancel for `id` came first, and with ExecError duplicateId (a job `id` is running) or busy
    // (four are) before anything starts.
    template<boost::asio::completion_token_for<RunSignature> Token>
    auto run(std::string id, std::string cmd, std::int64_t timeoutSec, OutputHandler onOutput,
             Token&& token) {
        return boost::asio::async_initiate<Token, RunSignature>(
            [this](auto handler, std::string id, std::string cmd, std::int64_t timeoutSec,
                   OutputHandler onOutput) {
                startRun(std::move(id), std::move(cmd), timeoutSec, std::move(onOutput),
                         RunHandler(std::move(handler)));
            },
            token, std::move(id), std::move(cmd), timeoutSec, std::move(onOutput));
    }

    // Cancels the job `id`, or the command `id` that has not arrived yet; returns at once, any thread.
    void cancel(const std::string& id);

    // Tells every running job's shell to end (SIGTERM to its group) and completes promptly. The jobs are
    // not marked cancelled: a shell that survives SIGTERM is stopped only by its time-out.
    template<boost::asio::completion_token_for<DoneSignature> Token>
    auto cancelAll(Token&& token) {
        return boost::asio::async_initiate<Token, DoneSignature>(
            [this](auto handler) { startCancelAll(DoneHandler(std::move(handler))); }, token);
    }

private:
    using RunHandler = boost::asio::any_completion_handler<RunSignature>;
    using DoneHandler = boost::asio::any_completion_handler<DoneSignature>;

    void startRun(std::string id, std::string cmd, std::int64_t timeoutSec, OutputHandler onOutput,
                  RunHandler handler);
    void startCancelAll(DoneHandler handler);

    const boost::asio::any_io_executor pool_;
    const boost::asio::strand<boost::asio::any_io_executor> strand_;
    const std::function<bool()> fdaProbe_;
    std::map<std::string, std::shared_ptr<ShellJob>> jobs_; // only on strand_
    EarlyCancels earlyCancels_;                             // has its own lock
};

} // namespace kestrava
