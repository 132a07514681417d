#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

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

TLogText::TLogText(std::shared_ptr<const char[]> bytes, std::size_t size)
    : Storage_(std::move(bytes)) {
    const char* const data = Storage_.get();
    const void* nul = size != 0 ? std::memchr(data, '\0', size) : nullptr;
    Text_ = std::string_view(
        data,
        nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - data) : size);
}

TLogText TLogText::Copy(std::string_view bytes) {
    auto storage = std::make_shared_for_overwrite<char[]>(bytes.size() + 1);
    std::memcpy(storage.get(), bytes.data(), bytes.size());
    return TLogText(std::move(storage), bytes.size());
}

// The next CR and the next LF are each searched for only once they lie behind the line start,
// so every byte is looked at once for each: a file with only one kind of line end stays
// linear.
TLineCursor::TLineCursor(std::string_view text)
    : Start_(text.data()),
      End_(text.data() + text.size()),
      NextCr_(FindByte(Start_, End_, '\r')),
      NextLf_(FindByte(Start_, End_, '\n')),
      Done_(text.empty()) {}

bool TLineCursor::Next(std::string_view& line) {
    if (Done_) {
        return false;
    }
    if (NextCr_ < Start_) {
        NextCr_ = FindByte(Start_, End_, '\r');
    }
    if (NextLf_ < Start_) {
        NextLf_ = FindByte(Start_, End_, '\n');
    }
    const char* const lineEnd = std::min(NextCr_, NextLf_);
    line = std::string_view(Start_, static_cast<std::size_t>(lineEnd - Start_));
    if (lineEnd == End_) {
        Done_ = true;
        return true;
    }
    const bool crLf = *lineEnd == '\r' && lineEnd + 1 != End_ && lineEnd[1] == '\n';
    Start_ = lineEnd + (crLf ? 2 : 1);
    Done_ = Start_ == End_;
    return true;
}

std::vector<std::string> SplitLogLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    TLineCursor cursor(text);
    std::string_view line;
    while (cursor.Next(line)) {
        lines.emplace_back(line);
    }
    return lines;
}

namespace {

// A log read from a pipe has no size to check beforehand; the largest logs a device writes
// stay far below this.
constexpr size_t MaxPipeBytes = size_t{1} << 30;

struct TFileBytes {
    std::shared_ptr<char[]> Bytes;
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
    TFileDescriptor(TFileDescriptor&& other) noexcept : Fd_(std::exchange(other.Fd_, -1)) {}
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(TFileDescriptor&&) = delete;
    int Get() const { return Fd_; }
    int Release() { return std::exchange(Fd_, -1); }

  private:
    int Fd_;
};

constexpr size_t HugePageSize = size_t{2} << 20;

// A buffer of `size` bytes, left uninitialised. A large one is mapped in huge pages where the
// system offers them: faulting in a gigabyte page by page costs more than reading it.
std::shared_ptr<char[]> AllocateBytes(size_t size) {
    if (size >= 4 * HugePageSize) {
        const size_t mapped = (size + HugePageSize - 1) / HugePageSize * HugePageSize;
        void* memory =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory != MAP_FAILED) {
            ::madvise(memory, mapped, MADV_HUGEPAGE);
            return std::shared_ptr<char[]>(static_cast<char*>(memory),
                                           [mapped](char* bytes) { ::munmap(bytes, mapped); });
        }
    }
    return std::make_shared_for_overwrite<char[]>(size);
}

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

// Opens a log file for reading only; the descriptor is closed again on every way out. `size` is
// the size of a regular file when it was opened.
TFileDescriptor OpenLogFile(const std::filesystem::path& path, TPathKind kind, bool& pipe,
                            size_t& size) {
    struct stat info {};
    if (kind == TPathKind::Unknown && ::stat(path.c_str(), &info) == 0 &&
        !IsReadableKind(info.st_mode)) {
        throw EFOpenError(path.string());
    }
    // Without O_NONBLOCK, opening a FIFO nobody writes to would wait for ever; with it, such a
    // FIFO reads as empty. Reads from a pipe block again, so a slow writer is waited for; the
    // flag means nothing to a regular file.
    TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0 || ::fstat(fd.Get(), &info) != 0 || !IsReadableKind(info.st_mode)) {
        throw EFOpenError(path.string());
    }
    pipe = S_ISFIFO(info.st_mode);
    if (pipe && ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK) != 0) {
        throw EFOpenError(path.string());
    }
    size = pipe ? 0 : static_cast<size_t>(info.st_size);
    return fd;
}

// Reads the file into one buffer of its `size` (as opened), left uninitialised: a buffer that
// doubles while it grows holds two copies at the end, and zero-filling first is a wasted pass over
// a large log. A file that grows meanwhile is read to its new end. A pipe is read to its end,
// up to MaxPipeBytes.
TFileBytes ReadWholeFile(const TFileDescriptor& fd, bool pipe, size_t size,
                         const std::filesystem::path& path, const TReadProgress& progress = {}) {
    // Read in parts, so that the progress of a large file can be told as it is read.
    constexpr size_t ReadPart = size_t{64} << 20;
    TFileBytes file;
    size_t capacity = pipe ? size_t{1} << 16 : size;
    file.Bytes = AllocateBytes(capacity);
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
            auto larger = AllocateBytes(capacity);
            std::memcpy(larger.get(), file.Bytes.get(), file.Size);
            file.Bytes = std::move(larger);
            file.Bytes[file.Size++] = next;
            continue;
        }
        const size_t got = ReadSome(fd.Get(), file.Bytes.get() + file.Size,
                                    std::min(capacity - file.Size, ReadPart), path);
        if (got == 0) {
            break;
        }
        file.Size += got;
        if (progress) {
            progress(file.Size, std::max(file.Size, size));
        }
    }
    return file;
}

// Where the lines of `bytes[0, size)` that are sure to be whole end: after the last LF, else
// after the last CR that is not the final byte (the byte after it is known and is no LF); 0
// when no line end is sure yet.
size_t WholeLinesEnd(const char* bytes, size_t size, size_t searchedFrom) {
    if (const void* lf = ::memrchr(bytes + searchedFrom, '\n', size - searchedFrom)) {
        return static_cast<size_t>(static_cast<const char*>(lf) - bytes) + 1;
    }
    if (size < 2) {
        return 0;
    }
    const void* cr = ::memrchr(bytes, '\r', size - 1);
    return cr != nullptr ? static_cast<size_t>(static_cast<const char*>(cr) - bytes) + 1 : 0;
}

// The value of a header line: everything from 1-based position `first` on.
std::string ValueFrom(std::string_view line, size_t first) {
    return first - 1 < line.size() ? std::string(line.substr(first - 1)) : std::string();
}

bool IsSignatureLine(std::string_view line) {
    return line.starts_with("SIGNATURE:");
}

}  // namespace

TLogText ReadLogText(const std::filesystem::path& path, const TFileBytesSink& fileBytes,
                     const TReadProgress& progress) {
    bool pipe = false;
    size_t size = 0;
    const TFileDescriptor fd = OpenLogFile(path, TPathKind::Unknown, pipe, size);
    TFileBytes file = ReadWholeFile(fd, pipe, size, path, progress);
    if (fileBytes) {
        fileBytes(std::string_view(file.Bytes.get(), file.Size));
    }
    return TLogText(std::move(file.Bytes), file.Size);
}

namespace {

// The buffer of the last file read on this thread, kept for the next one: the logs of a
// delivery are read one after another, each into a buffer of about the same size.
struct TSpareBuffer {
    std::unique_ptr<char[]> Bytes;
    std::size_t Capacity = 0;
};

TSpareBuffer& SpareBuffer() {
    thread_local TSpareBuffer spare;
    return spare;
}

std::unique_ptr<char[]> TakeSpareBuffer(std::size_t capacity) {
    TSpareBuffer& spare = SpareBuffer();
    if (spare.Bytes && spare.Capacity >= capacity && spare.Capacity <= 2 * capacity) {
        spare.Capacity = 0;
        return std::move(spare.Bytes);
    }
    return std::make_unique_for_overwrite<char[]>(capacity);
}

void KeepSpareBuffer(std::unique_ptr<char[]> bytes, std::size_t capacity) {
    if (bytes && capacity <= TLogTextRuns::DefaultBufferSize) {
        SpareBuffer() = {std::move(bytes), capacity};
    }
}

}  // namespace

TLogTextRuns::TLogTextRuns(const std::filesystem::path& path, std::size_t bufferSize,
                           TPathKind kind)
    : Path_(path), Capacity_(std::max<std::size_t>(bufferSize, 1)) {
    bool pipe = false;
    size_t size = 0;
    TFileDescriptor fd = OpenLogFile(path, kind, pipe, size);
    if (pipe) {
        TFileBytes file = ReadWholeFile(fd, pipe, size, path);
        WholeSize_ = file.Size;
        Whole_ = TLogText(std::move(file.Bytes), file.Size);
        return;
    }
    // A small file gets a buffer of its size: one byte more lets a read see its end at once.
    Capacity_ = std::min(Capacity_, size + 1);
    OpenedSize_ = size;
    Buffer_ = TakeSpareBuffer(Capacity_);
    Fd_ = fd.Release();
}

TLogTextRuns::~TLogTextRuns() {
    if (Fd_ >= 0) {
        ::close(Fd_);
    }
    KeepSpareBuffer(std::move(Buffer_), Capacity_);
}

void TLogTextRuns::ForEachRun(const std::function<void(std::string_view run)>& run,
                              const TFileBytesSink& fileBytes) {
    if (Fd_ < 0) {
        if (fileBytes) {
            fileBytes(std::string_view(Whole_.Storage().get(), WholeSize_));
        }
        if (!Whole_.Bytes().empty()) {
            run(Whole_.Bytes());
        }
        return;
    }
    off_t offset = 0;
    size_t held = 0;  // bytes at the start of the buffer that wait for the rest of their line
    bool ended = false;
    size_t runs = 0;
    OneRun_.reset();
    while (!ended) {
        if (held == Capacity_) {
            auto larger = std::make_unique_for_overwrite<char[]>(2 * Capacity_);
            std::memcpy(larger.get(), Buffer_.get(), held);
            Buffer_ = std::move(larger);
            Capacity_ *= 2;
        }
        char* const into = Buffer_.get() + held;
        ssize_t got = 0;
        do {
            got = ::pread(Fd_, into, Capacity_ - held, offset);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            throw EFOpenError(Path_.string());
        }
        size_t fresh = static_cast<size_t>(got);
        if (fileBytes && fresh != 0) {
            fileBytes(std::string_view(into, fresh));
        }
        // A read that stops short at the size the file had when opened has reached its end; a
        // further read would only say so.
        ended = fresh == 0 ||
                (fresh < Capacity_ - held && static_cast<size_t>(offset) + fresh == OpenedSize_);
        if (const void* nul = fresh != 0 ? std::memchr(into, '\0', fresh) : nullptr) {
            if (fileBytes) {
                ReadOnPastText(offset + got, fileBytes);
            }
            fresh = static_cast<size_t>(static_cast<const char*>(nul) - into);
            ended = true;
        }
        offset += static_cast<off_t>(fresh);
        const size_t searchedFrom = held;
        held += fresh;
        const size_t whole = ended ? held : WholeLinesEnd(Buffer_.get(), held, searchedFrom);
        if (whole > 0) {
            run(std::string_view(Buffer_.get(), whole));
            ++runs;
            if (ended && runs == 1) {
                OneRun_ = whole;  // still at the buffer's start: nothing is left to move
            }
            std::memmove(Buffer_.get(), Buffer_.get() + whole, held - whole);
            held -= whole;
        }
    }
}

std::optional<std::string_view> TLogTextRuns::LastPassText() const {
    if (Fd_ < 0) {
        return Whole_.Bytes();
    }
    if (OneRun_) {
        return std::string_view(Buffer_.get(), *OneRun_);
    }
    return std::nullopt;
}

// The text ended at a NUL byte at or before `offset`; the bytes from there on are read for
// `fileBytes` only.
void TLogTextRuns::ReadOnPastText(off_t offset, const TFileBytesSink& fileBytes) {
    auto spare = std::make_unique_for_overwrite<char[]>(Capacity_);
    while (true) {
        ssize_t got = 0;
        do {
            got = ::pread(Fd_, spare.get(), Capacity_, offset);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            throw EFOpenError(Path_.string());
        }
        if (got == 0) {
            return;
        }
        fileBytes(std::string_view(spare.get(), static_cast<size_t>(got)));
        offset += got;
    }
}

TRecordLines ScanLogHeader(std::string_view text, TLogState& state) {
    TLogHeaderScan scan(state);
    scan.Scan(text);
    return scan.Records();
}

void TLogHeaderScan::Scan(std::string_view run) {
    TLineCursor cursor(run);
    std::string_view line;
    while (cursor.Next(line)) {
        Line(line);
    }
}

void TLogHeaderScan::Line(std::string_view line) {
    TLogState& state = State_;
    if (line.starts_with("LICENSE:")) {
        state.LicenseText = ValueFrom(line, 10);
    } else if (IsSignatureLine(line)) {
        state.SignatureText = ValueFrom(line, 12);
        return;
    } else if (line.starts_with("SWVERSION:")) {
        state.SoftwareVersion = StrToIntDef(ValueFrom(line, 18).substr(0, 3), 0);
    } else if (line.starts_with("OFFSET:")) {
        state.Offset = StrToIntDef(ValueFrom(line, 9), 0);
    } else if (line.starts_with("ANGLE:")) {
        state.Angle = StrToIntDef(ValueFrom(line, 8), 0);
    } else if (line.starts_with("03;") && state.FirstRecordLine == -1 &&
               Kept_ <= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        state.FirstRecordLine = static_cast<int32_t>(Kept_);
    }
    if (KeepRecords_ && state.FirstRecordLine >= 0 && Records_.Count < Records_.Lines.size()) {
        Records_.Lines[Records_.Count++] = line;
    }
    ++Kept_;
}

namespace {

// The signed pieces of a text, line by line: lines ended by CR LF gather into runs of the
// text's own bytes, other lines go over with a CR LF of their own.
class TSignedPieces {
  public:
    TSignedPieces(std::string_view text, const std::function<void(std::string_view piece)>& piece)
        : End_(text.data() + text.size()),
          RunStart_(text.data()),
          RunEnd_(text.data()),
          Piece_(piece) {}

    // The next line of the text, a view into it.
    void Line(std::string_view line) {
        static constexpr std::string_view LineEnd = "\r\n";
        static constexpr size_t MaxRunBytes = size_t{64} << 10;
        const char* const lineEnd = line.data() + line.size();
        if (IsSignatureLine(line)) {
            Flush();
            return;
        }
        if (line.data() != RunEnd_) {
            Flush();
            RunStart_ = RunEnd_ = line.data();
        }
        const bool crLf = End_ - lineEnd >= 2 && lineEnd[0] == '\r' && lineEnd[1] == '\n';
        if (crLf) {
            RunEnd_ = lineEnd + 2;
            // Handed over while its bytes are still in the cache from the search for line ends.
            if (static_cast<size_t>(RunEnd_ - RunStart_) >= MaxRunBytes) {
                Flush();
            }
            return;
        }
        RunEnd_ = lineEnd;
        Flush();
        Piece_(LineEnd);
    }

    // Hands over the stretch of the text's own bytes not yet handed over.
    void Flush() {
        if (RunEnd_ != RunStart_) {
            Piece_(std::string_view(RunStart_, static_cast<size_t>(RunEnd_ - RunStart_)));
        }
        RunStart_ = RunEnd_;
    }

  private:
    const char* const End_;
    const char* RunStart_;
    const char* RunEnd_;
    const std::function<void(std::string_view piece)>& Piece_;
};

}  // namespace

void ForEachSignedPiece(std::string_view text,
                        const std::function<void(std::string_view piece)>& piece) {
    TSignedPieces pieces(text, piece);
    TLineCursor cursor(text);
    std::string_view line;
    while (cursor.Next(line)) {
        pieces.Line(line);
    }
    pieces.Flush();
}

void ScanAndSignRun(std::string_view run, TLogHeaderScan& scan,
                    const std::function<void(std::string_view piece)>& piece) {
    TSignedPieces pieces(run, piece);
    TLineCursor cursor(run);
    std::string_view line;
    while (cursor.Next(line)) {
        scan.Line(line);
        pieces.Line(line);
    }
    pieces.Flush();
}
