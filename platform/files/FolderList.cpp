#include "platform/files/FolderList.hpp"

#include <algorithm>

namespace kestrava::files {

std::vector<std::filesystem::path> absoluteFolders(std::string_view list) {
    std::vector<std::filesystem::path> folders;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        std::filesystem::path folder = list.substr(start, end - start);
        if (folder.is_absolute()) {
            folders.push_back(std::move(folder));
        }
        start = end + 1;
    }
    return folders;
}

} // namespace kestrava::files
