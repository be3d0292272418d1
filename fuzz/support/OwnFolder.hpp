#pragma once

#include <filesystem>
#include <string_view>

namespace kestrava::fuzz {

// A folder of this process's own under the temporary folder, named after what uses it and the process:
// made when it is built, removed with everything in it when it goes (a static one at exit). Throws
// std::filesystem::filesystem_error when it cannot be made.
class OwnFolder {
public:
    explicit OwnFolder(std::string_view name);
    ~OwnFolder();
    OwnFolder(const OwnFolder&) = delete;
    OwnFolder& operator=(const OwnFolder&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace kestrava::fuzz
