#include "platform/keychain/GenericPasswords.hpp"

#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"
#include "platform/files/UserFolders.hpp"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kestrava::keychain {
namespace {

constexpr mode_t folderMode = 0700;
constexpr mode_t itemMode = 0600;
// Secrets are keys and tokens of a few hundred bytes.
constexpr std::size_t maxItemSize = 1024 * 1024;

// One file name that stays inside the folder: a NUL would cut the name short at the system call.
bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// Secrets in a folder that someone else can enter or re-permission are no longer secret.
bool isPrivate(const struct stat& folder) {
    return folder.st_uid == ::geteuid() && (folder.st_mode & 077) == 0;
}

} // namespace

std::int32_t statusForErrno(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
        return status::itemNotFound;
    case EACCES:
    case EPERM:
    case ENOKEY: // an encrypted home that is still locked
        return status::interactionNotAllowed;
    default:
        return status::ioError;
    }
}

GenericPasswords::GenericPasswords(std::string service, UnflushedFolder unflushed)
    : GenericPasswords(std::move(service), files::dataHome(), std::move(unflushed)) {}

GenericPasswords::GenericPasswords(std::string service, const std::filesystem::path& baseFolder,
                                   UnflushedFolder unflushed)
    : service_(std::move(service)), folder_(baseFolder / service_), unflushed_(std::move(unflushed)) {}

GenericPasswords::CopiedItem GenericPasswords::copyItem(std::string_view account) const {
    if (const auto checked = checkAccess(account); checked != status::success) {
        return {checked, {}};
    }
    try {
        return {status::success, files::readAll(folder_ / account, maxItemSize)};
    } catch (const files::FileError& error) {
        return {statusForErrno(error.errorNumber()), {}};
    }
}

std::int32_t GenericPasswords::updateItem(std::string_view account, ByteView data) const {
    auto checked = checkAccess(account);
    if (checked == status::success) {
        checked = checkItemExists(account);
    }
    return checked == status::success ? store(account, data) : checked;
}

void GenericPasswords::removeInterruptedWrites() const {
    files::removeInterruptedReplacements(folder_);
}

std::int32_t GenericPasswords::addItem(std::string_view account, ByteView data) const {
    if (const auto checked = checkNames(account); checked != status::success) {
        return checked;
    }
    try {
        files::createDirectories(folder_, folderMode);
    } catch (const files::FileError& error) {
        return statusForErrno(error.errorNumber());
    }
    if (const auto checked = checkFolder(); checked != status::success) {
        return checked;
    }
    switch (const auto checked = checkItemExists(account)) {
    case status::success:
        return status::duplicateItem;
    case status::itemNotFound:
        return store(account, data);
    default:
        return checked;
    }
}

std::int32_t GenericPasswords::deleteItem(std::string_view account) const {
    if (const auto checked = checkAccess(account); checked != status::success) {
        return checked;
    }
    if (::unlink((folder_ / account).c_str()) != 0) {
        return statusForErrno(errno);
    }
    return status::success;
}

std::int32_t GenericPasswords::checkNames(std::string_view account) const {
    return isPlainFileName(service_) && isPlainFileName(account) ? status::success : status::invalidParameter;
}

std::int32_t GenericPasswords::checkAccess(std::string_view account) const {
    const auto names = checkNames(account);
    return names == status::success ? checkFolder() : names;
}

std::int32_t GenericPasswords::checkFolder() const {
    struct stat info {};
    if (::stat(folder_.c_str(), &info) != 0) {
        return statusForErrno(errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return statusForErrno(ENOTDIR);
    }
    return isPrivate(info) ? status::success : status::ioError;
}

std::optional<std::string> GenericPasswords::folderProblem() const {
    struct stat info {};
    if (::stat(folder_.c_str(), &info) != 0) {
        return std::nullopt;
    }
    if (!S_ISDIR(info.st_mode)) {
        return "secret store " + folder_.string() + " is not a folder";
    }
    if (isPrivate(info)) {
        return std::nullopt;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return "secret store folder " + folder_.string() + " is refused: owner uid " +
           std::to_string(info.st_uid) + ", mode " + mode + "; it must belong to uid " +
           std::to_string(::geteuid()) + " and give others no access (mode 0700)";
}

std::int32_t GenericPasswords::checkItemExists(std::string_view account) const {
    struct stat info {};
    return ::stat((folder_ / account).c_str(), &info) == 0 ? status::success : statusForErrno(errno);
}

std::int32_t GenericPasswords::store(std::string_view account, ByteView data) const {
    try {
        const auto unflushed = files::replaceDurably(folder_ / account, data, itemMode);
        if (unflushed && unflushed_) {
            unflushed_(*unflushed);
        }
        return status::success;
    } catch (const files::FileError& error) {
        return statusForErrno(error.errorNumber());
    }
}

} // namespace kestrava::keychain
