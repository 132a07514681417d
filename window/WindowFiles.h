#pragma once

#include <QUrl>
#include <compare>
#include <cstdint>
#include <filesystem>

// The local file a dropped URL names, as the file system's bytes: QUrl::toLocalFile()
// decodes the name as UTF-8 and loses a name in any other encoding.
std::filesystem::path LocalFileBytes(const QUrl& url);

// What tells one version of a file from the next: a rewrite changes the time or the size,
// a replacement the inode. All zero for a file that cannot be examined.
struct TFileStamp {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    int64_t Size = 0;
    int64_t ModifiedSeconds = 0;
    int64_t ModifiedNanoseconds = 0;
    auto operator<=>(const TFileStamp&) const = default;
};
TFileStamp FileStamp(const std::filesystem::path& path);
