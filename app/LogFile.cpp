#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "app/Errors.h"
#include "data/Utilities.h"

namespace {

// The first `c` in [from, end), or `end`.
const char* FindByte(const char* from, const char* end, char c) {
    if (from == end) {
        return end;
    }
    const void* found = std::memchr(from, c, static_cast<size_t>(end - from));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

}  // namespace

std::vector<std::string> SplitLogLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    const char* const end = text.data() + text.size();
    const char* start = text.data();
    // The next CR and the next LF are each searched for only once they lie behind the line
    // start, so every byte is looked at once for each: a file with only one kind of line end
    // stays linear.
    const char* nextCr = FindByte(start, end, '\r');
    const char* nextLf = FindByte(start, end, '\n');
    while (start != end) {
        if (nextCr < start) {
            nextCr = FindByte(start, end, '\r');
        }
        if (nextLf < start) {
            nextLf = FindByte(start, end, '\n');
        }
        const char* const lineEnd = std::min(nextCr, nextLf);
        lines.emplace_back(start, lineEnd);
        if (lineEnd == end) {
            break;
        }
        const bool crLf = *lineEnd == '\r' && lineEnd + 1 != end && lineEnd[1] == '\n';
        start = lineEnd + (crLf ? 2 : 1);
    }
    return lines;
}

namespace {

// A log read from a pipe has no size to check beforehand; the largest logs a device writes
// stay far below this.
constexpr size_t MaxPipeBytes = size_t{1} << 30;

struct TFileBytes {
    std::unique_ptr<char[]> Bytes;
    size_t Size = 0;
};

// Closes a file descriptor on every way out.
class TFileDescriptor {
  public:
    explicit TFileDescriptor(int fd) : Fd_(fd) {}
    ~TFileDescriptor() {
        if (Fd_ >= 0) {
            ::close(Fd_);
        }
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    int Get() const { return Fd_; }

  private:
    int Fd_;
};

// Reads what is there, up to `size` bytes; 0 at the end.
size_t ReadSome(int fd, char* into, size_t size, const std::filesystem::path& path) {
    while (true) {
        const ssize_t got = ::read(fd, into, size);
        if (got >= 0) {
            return static_cast<size_t>(got);
        }
        if (errno != EINTR) {
            throw EFOpenError(path.string());
        }
    }
}

// Regular files and pipes (a FIFO, standard input, process substitution) hold a log; a
// device such as /dev/zero never ends, a terminal waits for typing, a socket is no file.
bool IsReadableKind(mode_t mode) {
    return S_ISREG(mode) || S_ISFIFO(mode);
}

// Reads the file into one buffer of its size, left uninitialised: a buffer that doubles
// while it grows holds two copies at the end, and zero-filling first is a wasted pass over
// a large log. A file that grows meanwhile is read to its new end. A pipe is read to its end,
// up to MaxPipeBytes.
TFileBytes ReadWholeFile(const std::filesystem::path& path) {
    // Looked at before opening: opening a device can have effects of its own.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !IsReadableKind(info.st_mode)) {
        throw EFOpenError(path.string());
    }
    // Without O_NONBLOCK, opening a FIFO nobody writes to would wait for ever; with it, such a
    // FIFO reads as empty. Reads themselves block again, so a slow writer is waited for.
    const TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0 || ::fstat(fd.Get(), &info) != 0 || !IsReadableKind(info.st_mode) ||
        ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK) != 0) {
        throw EFOpenError(path.string());
    }
    const bool pipe = S_ISFIFO(info.st_mode);
    TFileBytes file;
    size_t capacity = pipe ? size_t{1} << 16 : static_cast<size_t>(info.st_size);
    file.Bytes = std::make_unique_for_overwrite<char[]>(capacity);
    while (true) {
        if (file.Size == capacity) {
            // Full: one byte more tells whether the file goes on.
            char next = 0;
            if (ReadSome(fd.Get(), &next, 1, path) == 0) {
                break;
            }
            if (pipe && capacity >= MaxPipeBytes) {
                throw EFOpenError(path.string());
            }
            capacity = std::max<size_t>(2 * capacity, size_t{1} << 16);
            auto larger = std::make_unique_for_overwrite<char[]>(capacity);
            std::memcpy(larger.get(), file.Bytes.get(), file.Size);
            file.Bytes = std::move(larger);
            file.Bytes[file.Size++] = next;
            continue;
        }
        const size_t got =
            ReadSome(fd.Get(), file.Bytes.get() + file.Size, capacity - file.Size, path);
        if (got == 0) {
            break;
        }
        file.Size += got;
    }
    return file;
}

// The value of a header line: everything from 1-based position `first` on.
std::string ValueFrom(const std::string& line, size_t first) {
    return first - 1 < line.size() ? line.substr(first - 1) : std::string();
}

}  // namespace

std::vector<std::string> ReadLogLines(const std::filesystem::path& path) {
    const TFileBytes file = ReadWholeFile(path);
    return SplitLogLines(std::string_view(file.Bytes.get(), file.Size));
}

std::vector<std::string> ScanLogHeader(std::vector<std::string>& lines, TLogState& state) {
    // The kept lines are collected into a new list: erasing each signature line from the
    // middle of a vector would make a file full of signature lines quadratic.
    std::vector<std::string> kept;
    kept.reserve(lines.size());
    for (std::string& line : lines) {
        if (line.starts_with("LICENSE:")) {
            state.LicenseText = ValueFrom(line, 10);
        } else if (line.starts_with("SIGNATURE:")) {
            state.SignatureText = ValueFrom(line, 12);
            continue;
        } else if (line.starts_with("SWVERSION:")) {
            state.SoftwareVersion = StrToIntDef(ValueFrom(line, 18).substr(0, 3), 0);
        } else if (line.starts_with("OFFSET:")) {
            state.Offset = StrToIntDef(ValueFrom(line, 9), 0);
        } else if (line.starts_with("ANGLE:")) {
            state.Angle = StrToIntDef(ValueFrom(line, 8), 0);
        } else if (line.starts_with("03;") && state.FirstRecordLine == -1 &&
                   kept.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
            state.FirstRecordLine = static_cast<int32_t>(kept.size());
        }
        kept.push_back(std::move(line));
    }
    lines.clear();
    return kept;
}
