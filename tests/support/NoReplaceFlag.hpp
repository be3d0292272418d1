#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kestrava::test {

// Whether the file system's rename knows the flag that refuses an existing target; NFS, ecryptfs and many
// FUSE file systems do not.
enum class NoReplaceFlag { supported, unsupported };
void PrintTo(NoReplaceFlag flag, std::ostream* out);

// While it lives, moving without replacing meets a file system as `flag` says.
class FileSystemWithNoReplaceFlag {
public:
    explicit FileSystemWithNoReplaceFlag(NoReplaceFlag flag);
    ~FileSystemWithNoReplaceFlag();
    FileSystemWithNoReplaceFlag(const FileSystemWithNoReplaceFlag&) = delete;
    FileSystemWithNoReplaceFlag& operator=(const FileSystemWithNoReplaceFlag&) = delete;
};

// Both, for a suite run on each: named "flagSupported" and "flagUnsupported".
inline const auto eachNoReplaceFlag = testing::Values(NoReplaceFlag::supported, NoReplaceFlag::unsupported);
std::string nameOfFlag(const testing::TestParamInfo<NoReplaceFlag>& flag);

} // namespace kestrava::test
