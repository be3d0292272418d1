#pragma once

#include "tests/support/TemporaryDirectory.hpp"

#include <filesystem>
#include <functional>

namespace kestrava::test {

// A folder files can be created in and renamed within, but that cannot be opened to be flushed to disk
// (mode 0300: writable and searchable, not readable).
class UnflushableFolder {
public:
    UnflushableFolder();
    // Makes it readable again, so it can be removed.
    ~UnflushableFolder();
    UnflushableFolder(const UnflushableFolder&) = delete;
    UnflushableFolder& operator=(const UnflushableFolder&) = delete;

    std::filesystem::path path() const { return parent_ / "folder"; }

    // Runs `work` on a thread that holds no capability to override file permissions, so that the folder
    // refuses a root test as it refuses its owner; rethrows what `work` throws.
    static void runAsItsOwner(const std::function<void()>& work);

private:
    TemporaryDirectory parent_;
};

} // namespace kestrava::test
