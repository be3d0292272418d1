#include "agent-core/exec/ShellJob.hpp"

#include "platform/encoding/Utf8.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/process/ChildExit.hpp"
#include "platform/process/ChildWatch.hpp"
#include "platform/process/GroupLeaderSpawn.hpp"
#include "platform/process/LoginShell.hpp"
#include "platform/process/Pipe.hpp"
#include "platform/process/ProcessGroup.hpp"
#include "platform/thread/DetachedThread.hpp"
#include "platform/unicode/Unicode.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <latch>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrava {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t threadStackSize = 1 << 20;
constexpr auto passInterval = 10ms;
constexpr int idlePollMilliseconds = 100;
// How long a shell has between SIGTERM and SIGKILL.
constexpr auto killGrace = 5s;
// How long the group may take to vanish after SIGKILL once the shell itself is gone.
constexpr auto killedGroupLimit = 2s;
// How long what the shell left behind may keep its output open after the shell exited.
constexpr auto outputAfterExitLimit = 1s;

constexpr std::string_view stdoutStream = "stdout";
constexpr std::string_view stderrStream = "stderr";

// How far the wait for one shell has come; it only moves forward.
enum class WaitPhase {
    beforeHint,  // running; the permission hint not yet considered
    running,     // running; the hint considered
    terminating, // SIGTERM sent to the group
    killing,     // SIGKILL sent to the group
};

bool isSignalled(WaitPhase phase) {
    return phase == WaitPhase::terminating || phase == WaitPhase::killing;
}

const ExecResult notStarted{.exitCode = 127, .durationMs = 0, .truncated = false, .timedOut = false};

bool isContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

// What the job thread and the two readers of one run share.
struct ShellJob::RunState {
    explicit RunState(pid_t shell) : watch(shell) {}

    void readerLeft() {
        readers.count_down();
        watch.wake();
    }

    ExitFlag exited;
    ExitFlag stop;
    std::latch readers{2};
    process::ChildWatch watch;
};

ShellJob::ShellJob(std::string cmd, int timeoutSec, std::int64_t maxOutput, OutputHandler onOutput,
                   std::chrono::milliseconds hintDelay, std::function<bool()> fdaProbe)
    : cmd_(std::move(cmd)), timeoutSec_(timeoutSec), maxOutput_(maxOutput), onOutput_(std::move(onOutput)),
      hintDelay_(hintDelay), fdaProbe_(std::move(fdaProbe)) {}

void ShellJob::start(std::function<void(ExecResult)> done) {
    if (!thread::startDetachedThread(threadStackSize,
                                     [self = shared_from_this(), done] { done(self->run()); })) {
        done(notStarted);
    }
}

ExecResult ShellJob::run() {
    const auto t0 = Clock::now();
    std::optional<pid_t> shell;
    process::Descriptor stdoutReadEnd;
    process::Descriptor stderrReadEnd;
    {
        // Held until the agent's copies of the write ends are closed, so that no other job's shell can
        // inherit them and keep this job's output open.
        const std::lock_guard spawning(spawnLock());
        auto stdoutPipe = process::openPipe();
        if (!stdoutPipe) {
            return notStarted;
        }
        auto stderrPipe = process::openPipe();
        if (!stderrPipe) {
            return notStarted;
        }
        const std::string shellProgram = shellPath();
        shell = process::spawnGroupLeader(shellProgram, {shellProgram, "-lc", cmd_}, files::homeDirectory(),
                                          stdoutPipe->writeEnd.get(), stderrPipe->writeEnd.get());
        stdoutReadEnd = std::move(stdoutPipe->readEnd);
        stderrReadEnd = std::move(stderrPipe->readEnd);
    }
    if (!shell) {
        return notStarted;
    }

    const pid_t pgid = *shell;
    {
        const std::lock_guard held(lock_);
        pgid_ = pgid;
        if (terminated_) {
            signalGroupLocked(SIGTERM);
        }
    }

    const auto state = std::make_shared<RunState>(pgid);
    startReader(state, std::move(stdoutReadEnd), stdoutStream);
    startReader(state, std::move(stderrReadEnd), stderrStream);
    const auto started = Clock::now();
    const WaitOutcome outcome =
        waitForShell(pgid, *state, started + std::chrono::seconds(timeoutSec_), started + hintDelay_);
    state->readers.wait();

    ExecResult result;
    {
        const std::lock_guard held(lock_);
        result.truncated = truncated_;
    }
    result.exitCode = outcome.exitCode;
    result.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    result.timedOut = outcome.timedOut;
    return result;
}

void ShellJob::startReader(const std::shared_ptr<RunState>& state, process::Descriptor readEnd,
                           std::string_view stream) {
    auto fd = std::make_shared<process::Descriptor>(std::move(readEnd));
    const bool started =
        thread::startDetachedThread(threadStackSize, [self = shared_from_this(), state, fd, stream] {
            self->pump(fd->get(), stream, state->exited, state->stop);
            fd->reset();
            state->readerLeft();
        });
    if (!started) {
        // Closing the pipe unread makes the shell's writes to it fail rather than block.
        fd->reset();
        state->readerLeft();
    }
}

ShellJob::WaitOutcome ShellJob::waitForShell(pid_t pgid, RunState& state, Clock::time_point deadline,
                                             Clock::time_point hintAt) {
    WaitOutcome outcome;
    std::optional<Clock::time_point> exitedAt;
    WaitPhase phase = WaitPhase::beforeHint;
    Clock::time_point phaseSince;
    const auto enter = [&](WaitPhase next, Clock::time_point now) {
        phase = next;
        phaseSince = now;
    };
    for (bool firstPass = true;; firstPass = false) {
        if (!firstPass) {
            state.watch.sleep(passInterval);
        }
        if (!exitedAt) {
            // The shell is left unreaped until the loop ends: while it is, its id cannot name another
            // group, and the signals below reach only its own.
            siginfo_t exit{};
            const int waited = ::waitid(P_PID, static_cast<id_t>(pgid), &exit, WEXITED | WNOHANG | WNOWAIT);
            if ((waited == 0 && exit.si_pid == pgid) || (waited < 0 && errno != EINTR)) {
                if (waited < 0) {
                    // Reaped by the system (SIGCHLD ignored): the group can no longer be signalled safely,
                    // and no exit status is made up.
                    markShellReaped();
                } else if (exit.si_code == CLD_EXITED) {
                    outcome.exitCode = exit.si_status;
                }
                state.exited.set();
                state.watch.childExited();
                exitedAt = Clock::now();
            }
        }
        const auto now = Clock::now();
        const bool readersBusy = !state.readers.try_wait();
        const bool finished = exitedAt && !readersBusy;

        if (phase == WaitPhase::beforeHint && !exitedAt && now >= hintAt) {
            offerFullDiskAccessHint();
            enter(WaitPhase::running, now);
        }

        if (!isSignalled(phase) && !finished) {
            const bool cancelled = isCancelled();
            if (now >= deadline || cancelled) {
                outcome.timedOut = !cancelled;
                signalGroup(SIGTERM);
                enter(WaitPhase::terminating, now);
            }
        }

        // Something the shell left behind still holds its output open and writes: it does not hold the job.
        if (exitedAt && readersBusy && !state.stop.isSet() && now - *exitedAt >= outputAfterExitLimit) {
            state.stop.set();
            signalGroup(SIGKILL);
            if (phase != WaitPhase::killing) {
                enter(WaitPhase::killing, now);
            }
        }

        if (phase == WaitPhase::terminating && now - phaseSince >= killGrace) {
            signalGroup(SIGKILL);
            enter(WaitPhase::killing, now);
        }
        if (!finished) {
            continue;
        }
        // Unsignalled, members of the group still alive now (background commands) are left running.
        if (!isSignalled(phase) || !process::groupHasLivingMember(pgid) ||
            (phase == WaitPhase::killing && now - phaseSince >= killedGroupLimit)) {
            reapShell(pgid);
            return outcome;
        }
    }
}

void ShellJob::reapShell(pid_t shell) {
    const std::lock_guard held(lock_);
    if (shellReaped_) {
        return;
    }
    // Under the lock, so that no signal of terminate() falls after it; the shell has exited, so this wait
    // returns at once.
    process::reap(shell);
    shellReaped_ = true;
}

void ShellJob::markShellReaped() {
    const std::lock_guard held(lock_);
    shellReaped_ = true;
}

void ShellJob::signalGroup(int signal) {
    const std::lock_guard held(lock_);
    signalGroupLocked(signal);
}

void ShellJob::signalGroupLocked(int signal) {
    // The whole group, so that pipelines and background children end with the shell; the reap and this
    // signal are ordered by the lock, so the id is still the group's.
    if (pgid_ > 0 && !shellReaped_) {
        ::kill(-pgid_, signal);
    }
}

void ShellJob::pump(int fd, std::string_view stream, const ExitFlag& exited, const ExitFlag& stop) {
    std::array<char, readSize> buffer;
    std::string pending;
    for (;;) {
        pollfd watched{fd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, idlePollMilliseconds);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (stop.isSet()) {
            break;
        }
        if (ready == 0) {
            // A silent background process that keeps the pipe open does not hold the job.
            if (exited.isSet()) {
                break;
            }
            continue;
        }
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            break;
        }
        if (count == 0) {
            break;
        }
        {
            const std::lock_guard held(lock_);
            sawOutput_ = true;
        }
        deliverRead(stream, pending, std::string_view(buffer.data(), static_cast<std::size_t>(count)));
    }
    if (!pending.empty()) {
        deliver(stream, pending);
    }
}

std::size_t ShellJob::completePrefixLength(std::string_view bytes) {
    const std::size_t n = bytes.size();
    if (n == 0) {
        return 0;
    }
    std::optional<std::size_t> lead;
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
        if (!isContinuation(bytes[n - back])) {
            lead = n - back;
            break;
        }
    }
    if (!lead) {
        if (n < 4) {
            return n;
        }
        lead = n - 4;
    }
    const auto byte = static_cast<unsigned char>(bytes[*lead]);
    if (byte < 0xC0) {
        return n;
    }
    const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    return n - *lead < needed ? *lead : n;
}

void ShellJob::deliverRead(std::string_view stream, std::string& pending, std::string_view read) {
    pending += read;
    const std::size_t complete = completePrefixLength(pending);
    deliver(stream, std::string_view(pending).substr(0, complete));
    pending.erase(0, complete);
}

void ShellJob::deliver(std::string_view stream, std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    std::string repaired;
    std::string_view text = bytes;
    if (!utf8::isValid(bytes)) {
        repaired = unicode::repaired(bytes);
        text = repaired;
    }
    const std::size_t total = text.size();
    std::size_t offset = 0;
    while (offset < total) {
        const std::size_t remaining = total - offset;
        std::size_t take = 0;
        bool last = false;
        {
            const std::lock_guard held(lock_);
            const std::int64_t room = maxOutput_ - delivered_;
            if (room > 0) {
                take = std::min({remaining, chunkLimit, static_cast<std::size_t>(room)});
            }
            if (take > 0 && take < remaining) {
                // Every chunk ends on a character boundary.
                while (take > 0 && isContinuation(text[offset + take])) {
                    --take;
                }
            }
            last =
                room < static_cast<std::int64_t>(remaining) && room <= static_cast<std::int64_t>(chunkLimit);
            if (last) {
                // Whatever comes after this chunk, on either stream, is dropped.
                truncated_ = true;
                delivered_ = maxOutput_;
            } else {
                delivered_ += static_cast<std::int64_t>(take);
            }
        }
        if (take >= 1) {
            onOutput_(stream, text.substr(offset, take));
        }
        if (last || take == 0) {
            return;
        }
        offset += take;
    }
}

void ShellJob::offerFullDiskAccessHint() {
    bool sawOutput = false;
    {
        const std::lock_guard held(lock_);
        sawOutput = sawOutput_;
    }
    if (!sawOutput && !fdaProbe_()) {
        onOutput_(stderrStream, fullDiskAccessHint);
    }
}

bool ShellJob::isCancelled() {
    const std::lock_guard held(lock_);
    return cancelled_;
}

void ShellJob::cancel() {
    const std::lock_guard held(lock_);
    cancelled_ = true;
}

void ShellJob::terminate() {
    const std::lock_guard held(lock_);
    terminated_ = true;
    signalGroupLocked(SIGTERM);
}

std::string ShellJob::shellPath() {
    return process::loginShellPath(std::getenv("SHELL"));
}

std::mutex& ShellJob::spawnLock() {
    static std::mutex lock;
    return lock;
}

} // namespace kestrava
