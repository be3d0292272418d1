#include "tests/support/TestFiles.hpp"

#include "platform/files/Files.hpp"

#include <fstream>
#include <limits>
#include <stdexcept>

namespace kestrava::test {

std::string fileText(const std::filesystem::path& path) {
    return textOf(files::readAll(path, std::numeric_limits<std::size_t>::max()));
}

void writeText(const std::filesystem::path& path, std::string_view text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::size_t occurrences(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace kestrava::test
