#include "tests/support/UnflushableFolder.hpp"

#include <exception>
#include <linux/capability.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace kestrava::test {
namespace {

// Capabilities belong to a thread: the raw call changes only the calling one, where the C library would
// change them for every thread of the process.
void dropFilePermissionOverrides() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) {
        throw std::runtime_error("capget failed");
    }
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    if (::syscall(SYS_capset, &header, data) != 0) {
        throw std::runtime_error("capset failed");
    }
}

} // namespace

UnflushableFolder::UnflushableFolder() {
    std::filesystem::create_directory(path());
    std::filesystem::permissions(path(), std::filesystem::perms(0300));
}

UnflushableFolder::~UnflushableFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path(), std::filesystem::perms(0700), ignored);
}

void UnflushableFolder::runAsItsOwner(const std::function<void()>& work) {
    std::exception_ptr failure;
    std::thread([&] {
        try {
            dropFilePermissionOverrides();
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }).join();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace kestrava::test
