#include "tests/support/ReapedGroupSignals.hpp"

#include "platform/process/Descriptor.hpp"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <future>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrava::test {
namespace {

// Binds the calling thread, and whatever it starts, to a filter that holds every kill() until the watcher
// reading the returned descriptor lets it go on; closed when the kernel refuses.
process::Descriptor holdKillsForAWatcher() {
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_kill, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return process::Descriptor();
    }
    return process::Descriptor(static_cast<int>(
        ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &filter)));
}

bool isThreadOfThisProcess(pid_t thread) {
    return ::access(("/proc/self/task/" + std::to_string(thread)).c_str(), F_OK) == 0;
}

// An exited child waits unreaped; a reaped one, or one never ours, is not there to wait for.
bool wasReaped(pid_t child) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) != 0 &&
           errno == ECHILD;
}

// Storage for the kernel's own size of a notice or an answer, which may exceed the header's.
std::vector<std::uint64_t> noticeBuffer(std::size_t bytes) {
    return std::vector<std::uint64_t>(bytes / sizeof(std::uint64_t) + 1);
}

// Lets every held kill() go on, counting those that signalled a reaped leader's group, until `done`.
int watchKills(int listener, const std::atomic<bool>& done) {
    seccomp_notif_sizes sizes{};
    if (::syscall(SYS_seccomp, SECCOMP_GET_NOTIF_SIZES, 0, &sizes) != 0) {
        sizes = {sizeof(seccomp_notif), sizeof(seccomp_notif_resp), sizeof(seccomp_data)};
    }
    auto noticeStorage = noticeBuffer(std::max<std::size_t>(sizes.seccomp_notif, sizeof(seccomp_notif)));
    auto answerStorage =
        noticeBuffer(std::max<std::size_t>(sizes.seccomp_notif_resp, sizeof(seccomp_notif_resp)));
    auto* notice = reinterpret_cast<seccomp_notif*>(noticeStorage.data());
    auto* answer = reinterpret_cast<seccomp_notif_resp*>(answerStorage.data());
    int count = 0;
    while (!done.load()) {
        pollfd watched{listener, POLLIN, 0};
        if (::poll(&watched, 1, 20) <= 0 || (watched.revents & POLLIN) == 0) {
            continue;
        }
        std::fill(noticeStorage.begin(), noticeStorage.end(), 0);
        if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, notice) != 0) {
            continue; // interrupted, or the caller died meanwhile
        }
        const auto target = static_cast<pid_t>(notice->data.args[0]);
        const auto signal = static_cast<int>(notice->data.args[1]);
        if (target < -1 && signal != 0 && isThreadOfThisProcess(static_cast<pid_t>(notice->pid)) &&
            wasReaped(-target)) {
            ++count;
        }
        std::fill(answerStorage.begin(), answerStorage.end(), 0);
        answer->id = notice->id;
        answer->flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, answer);
    }
    return count;
}

} // namespace

std::optional<int> signalsToReapedGroups(const std::function<void()>& body) {
    std::promise<process::Descriptor> listenerReady;
    auto listenerGiven = listenerReady.get_future();
    std::exception_ptr thrown;
    std::thread held([&] {
        auto listener = holdKillsForAWatcher();
        const bool watched = listener.isOpen();
        listenerReady.set_value(std::move(listener));
        if (!watched) {
            return;
        }
        try {
            body();
        } catch (...) {
            thrown = std::current_exception();
        }
    });
    const process::Descriptor listener = listenerGiven.get();
    if (!listener.isOpen()) {
        held.join();
        return std::nullopt;
    }
    std::atomic<bool> done{false};
    auto count = std::async(std::launch::async, [&] { return watchKills(listener.get(), done); });
    held.join();
    done.store(true);
    const int signalled = count.get();
    if (thrown) {
        std::rethrow_exception(thrown);
    }
    return signalled;
}

} // namespace kestrava::test
