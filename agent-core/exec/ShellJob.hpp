#pragma once

#include "agent-core/exec/ExecResult.hpp"
#include "platform/process/Descriptor.hpp"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace kestrava {

// One phone command, run by the user's login shell ("-lc") as the leader of a process group of its own,
// in the home folder, with standard input from /dev/null and no other descriptor of the agent. Its output
// streams back as valid UTF-8 in bounded chunks, capped per job; a time-out, a cancel or the agent's
// shutdown stops it, always through its whole group. It never throws: every failure ends in a result.
// It runs on threads of its own (the job thread and one reader per stream), never on the pool.
class ShellJob : public std::enable_shared_from_this<ShellJob> {
public:
    // Called with the stream, "stdout" or "stderr", and valid UTF-8 text of at most chunkLimit bytes
    // (the permission hint is passed whole); from both readers, possibly at the same time, and from the
    // job thread for the hint. Order holds within a stream. Must not throw.
    using OutputHandler = std::function<void(std::string_view stream, std::string_view text)>;

    // A flag one run's waiting loop and readers share: the shell was reaped, or the readers must stop.
    class ExitFlag {
    public:
        void set() noexcept { v_.store(true); }
        bool isSet() const noexcept { return v_.load(); }

    private:
        std::atomic<bool> v_{false};
    };

    static constexpr std::size_t readSize = 16384;
    static constexpr std::size_t chunkLimit = 8192;
    // Sent on "stderr" when a command stays silent from the start while the agent lacks Full Disk Access.
    static constexpr std::string_view fullDiskAccessHint =
        "Mac đang hỏi quyền truy cập thư mục — cấp Full Disk Access cho Kestrava Agent\n";

    // `fdaProbe` must not throw either.
    ShellJob(std::string cmd, int timeoutSec, std::int64_t maxOutput, OutputHandler onOutput,
             std::chrono::milliseconds hintDelay, std::function<bool()> fdaProbe);

    // Runs the job on a thread of its own and hands its result to `done` on that thread. A job runs once.
    void start(std::function<void(ExecResult)> done);
    // The blocking body of start().
    ExecResult run();

    // Makes the running job stop its shell (SIGTERM to the group) within about 10 ms, or at once when the
    // shell starts later; any thread.
    void cancel();
    // Marks the job as ended by the agent's shutdown and sends SIGTERM to its process group, unless its
    // shell has not started yet (it gets SIGTERM at once when it does) or has already been reaped; any
    // thread.
    void terminate();

    // The shell that runs commands.
    static std::string shellPath();
    // How many leading bytes to deliver now: all of them, except an incomplete character at the end,
    // which waits for the next read.
    static std::size_t completePrefixLength(std::string_view bytes);
    // Hands `bytes` to onOutput as valid UTF-8 (each ill-formed sequence becomes U+FFFD) in chunks that
    // end on character boundaries, within what is left of the output cap; sets `truncated` at the cap.
    void deliver(std::string_view stream, std::string_view bytes);
    // Hands on one read of `stream`: `read` after `pending`, the incomplete character an earlier read
    // ended on, is delivered up to its last complete character, and what follows waits in `pending`.
    void deliverRead(std::string_view stream, std::string& pending, std::string_view read);

private:
    struct RunState;
    struct WaitOutcome {
        std::optional<int> exitCode; // none when the shell was killed or the wait for it failed
        bool timedOut = false;
    };

    void startReader(const std::shared_ptr<RunState>& state, process::Descriptor readEnd,
                     std::string_view stream);
    void pump(int fd, std::string_view stream, const ExitFlag& exited, const ExitFlag& stop);
    WaitOutcome waitForShell(pid_t pgid, RunState& state, std::chrono::steady_clock::time_point deadline,
                             std::chrono::steady_clock::time_point hintAt);
    void offerFullDiskAccessHint();
    bool isCancelled();
    // Reaps the exited shell, after which its group is never signalled again.
    void reapShell(pid_t shell);
    // The system reaped the shell itself.
    void markShellReaped();
    // Signals the shell's group while the shell is unreaped; signalGroupLocked expects lock_ held.
    void signalGroup(int signal);
    void signalGroupLocked(int signal);

    static std::mutex& spawnLock();

    const std::string cmd_;
    const int timeoutSec_;
    const std::int64_t maxOutput_;
    const OutputHandler onOutput_;
    const std::chrono::milliseconds hintDelay_;
    const std::function<bool()> fdaProbe_;
    std::mutex lock_;
    bool cancelled_ = false;     // guarded by lock_
    std::int64_t delivered_ = 0; // guarded by lock_; bytes handed to onOutput, both streams
    bool truncated_ = false;     // guarded by lock_
    bool sawOutput_ = false;     // guarded by lock_
    pid_t pgid_ = 0;             // guarded by lock_
    bool terminated_ = false;    // guarded by lock_
    bool shellReaped_ = false;   // guarded by lock_
};

} // namespace kestrava
