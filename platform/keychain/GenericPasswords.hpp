#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/files/FileError.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava::keychain {

// The status numbers of the item operations: the values the platform's keychain uses for the same outcome,
// so log lines read the same everywhere.
namespace status {
inline constexpr std::int32_t success = 0;
inline constexpr std::int32_t itemNotFound = -25300;
inline constexpr std::int32_t duplicateItem = -25299;
// Access refused (a locked encrypted home, missing permissions): worth retrying.
inline constexpr std::int32_t interactionNotAllowed = -25308;
inline constexpr std::int32_t ioError = -36;
inline constexpr std::int32_t invalidParameter = -50;
} // namespace status

// The status of a failed file-system call, by its errno.
std::int32_t statusForErrno(int errorNumber);

// Secret items identified by service and account, kept as one file per account (0600) in a private
// folder (0700) named after the service. A folder that others may enter or that another user owns is
// refused rather than trusted. Service and account must each be a single plain file name.
class GenericPasswords {
public:
    struct CopiedItem {
        std::int32_t status = status::success;
        Bytes data; // the item's bytes when status is success
    };

    // Told of an item that was written but whose folder could not be flushed after: the write succeeded,
    // and only a power cut soon after could still undo it.
    using UnflushedFolder = std::function<void(const files::FileError&)>;

    // The items of `service` in the folder `baseFolder / service`; the base is the user's data folder
    // unless given.
    explicit GenericPasswords(std::string service, UnflushedFolder unflushed = {});
    GenericPasswords(std::string service, const std::filesystem::path& baseFolder,
                     UnflushedFolder unflushed = {});

    CopiedItem copyItem(std::string_view account) const;
    // Replaces the data of an existing item; itemNotFound when there is none.
    std::int32_t updateItem(std::string_view account, ByteView data) const;
    // Creates the item, and the folder when it is missing; duplicateItem when the item exists.
    std::int32_t addItem(std::string_view account, ByteView data) const;
    std::int32_t deleteItem(std::string_view account) const;
    // Removes what writes cut short by the end of a process left in the folder; only while no other
    // process uses these items.
    void removeInterruptedWrites() const;
    // Why the folder is refused when it is, for a person to mend it: its path, owner and mode.
    std::optional<std::string> folderProblem() const;

private:
    std::int32_t checkNames(std::string_view account) const;
    // The names, then the folder.
    std::int32_t checkAccess(std::string_view account) const;
    std::int32_t checkFolder() const;
    std::int32_t checkItemExists(std::string_view account) const;
    std::int32_t store(std::string_view account, ByteView data) const;

    std::string service_;
    std::filesystem::path folder_;
    UnflushedFolder unflushed_;
};

} // namespace kestrava::keychain
