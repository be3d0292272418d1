#include "fuzz/support/OwnFolder.hpp"

#include <string>
#include <unistd.h>

namespace kestrava::fuzz {

OwnFolder::OwnFolder(std::string_view name)
    : path_(std::filesystem::temp_directory_path() /
            ("fuzz-" + std::string(name) + "-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
}

OwnFolder::~OwnFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace kestrava::fuzz
