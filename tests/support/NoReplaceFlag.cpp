#include "tests/support/NoReplaceFlag.hpp"

#include "platform/files/Files.hpp"

#include <cerrno>

namespace kestrava::test {
namespace {

int renameWithoutTheFlag(const char*, const char*) {
    errno = EINVAL;
    return -1;
}

} // namespace

void PrintTo(NoReplaceFlag flag, std::ostream* out) {
    *out << (flag == NoReplaceFlag::supported ? "rename refuses an existing target"
                                              : "rename without the flag that refuses an existing target");
}

FileSystemWithNoReplaceFlag::FileSystemWithNoReplaceFlag(NoReplaceFlag flag) {
    files::useNoReplaceRename(flag == NoReplaceFlag::supported ? nullptr : renameWithoutTheFlag);
}

FileSystemWithNoReplaceFlag::~FileSystemWithNoReplaceFlag() {
    files::useNoReplaceRename(nullptr);
}

std::string nameOfFlag(const testing::TestParamInfo<NoReplaceFlag>& flag) {
    return flag.param == NoReplaceFlag::supported ? "flagSupported" : "flagUnsupported";
}

} // namespace kestrava::test
