#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "app/LogState.h"
#include "data/DirectionSlot.h"

// A log file's text as read: its bytes up to the first NUL byte, in one buffer that is shared
// with whoever shows the text, so that a text box can keep it instead of a copy.
class TLogText {
  public:
    TLogText() = default;
    // Takes over a buffer of `size` bytes; the text ends at its first NUL byte.
    TLogText(std::shared_ptr<const char[]> bytes, std::size_t size);
    // A text in a buffer of its own, holding a copy of `bytes`.
    static TLogText Copy(std::string_view bytes);

    std::string_view Bytes() const { return Text_; }
    const std::shared_ptr<const char[]>& Storage() const { return Storage_; }

  private:
    std::shared_ptr<const char[]> Storage_;
    std::string_view Text_;
};

// Steps through the lines of a text. CR LF, LF and CR each end a line (LF CR is two ends);
// a line end at the very end does not start an empty line. Lines keep every byte they hold.
class TLineCursor {
  public:
    explicit TLineCursor(std::string_view text);
    // The next line, as a view into the text; false after the last one.
    bool Next(std::string_view& line);

  private:
    const char* Start_;
    const char* End_;
    const char* NextCr_;
    const char* NextLf_;
    bool Done_;
};

// The lines of a text up to its first NUL byte, as copies.
std::vector<std::string> SplitLogLines(std::string_view text);

// Is handed every byte of a file as it is read, once each and in order: also those after a NUL
// byte that ends the text (to take a digest of exactly the bytes that were checked).
using TFileBytesSink = std::function<void(std::string_view bytes)>;

// Told after each part read: the bytes read so far and the size the file has (its size when
// opened, or more if it grew); for a pipe, the bytes so far twice.
using TReadProgress = std::function<void(std::size_t read, std::size_t size)>;

// What the caller already knows of a path before it is opened.
enum class TPathKind {
    Unknown,      // looked at first: opening a device can have effects of its own
    RegularFile,  // a folder listing said so, which is as good as looking again
};

// Reads a whole file, opened for reading only. Raises EFOpenError when the file cannot be
// opened or read (missing, a directory, no permission).
TLogText ReadLogText(const std::filesystem::path& path, const TFileBytesSink& fileBytes = {},
                     const TReadProgress& progress = {});

// A log file for a reader that does not keep its text: every pass reads the file from its
// start, in pieces into one buffer that is reused, so that no buffer of the file's size is
// ever faulted in. A pipe, which reads only once, is read whole when opened.
class TLogTextRuns {
  public:
    static constexpr std::size_t DefaultBufferSize = std::size_t{1} << 20;

    // Opens the file; raises EFOpenError as ReadLogText does.
    explicit TLogTextRuns(const std::filesystem::path& path,
                          std::size_t bufferSize = DefaultBufferSize,
                          TPathKind kind = TPathKind::Unknown);
    ~TLogTextRuns();
    TLogTextRuns(const TLogTextRuns&) = delete;
    TLogTextRuns& operator=(const TLogTextRuns&) = delete;

    // Hands over the text ReadLogText would give, in runs that each end at a line end or at
    // the end of the text, so that the lines of the runs are the lines of the text. A line
    // longer than the buffer grows it. `fileBytes`, when given, gets the bytes of the file
    // as this pass reads them, to the file's end.
    void ForEachRun(const std::function<void(std::string_view run)>& run,
                    const TFileBytesSink& fileBytes = {});
    // A file's size when it was opened (it may have grown since); a pipe's whole size.
    std::size_t SizeWhenOpened() const { return Fd_ >= 0 ? OpenedSize_ : WholeSize_; }
    // The whole text, when the last pass handed it over in one run (a small file, a pipe): what
    // was read then, to be looked at again without reading again.
    std::optional<std::string_view> LastPassText() const;

  private:
    void ReadOnPastText(off_t offset, const TFileBytesSink& fileBytes);

    std::filesystem::path Path_;
    int Fd_ = -1;
    TLogText Whole_;             // a pipe's text
    std::size_t WholeSize_ = 0;  // the bytes read from the pipe, a NUL byte and beyond included
    std::unique_ptr<char[]> Buffer_;
    std::size_t Capacity_;
    std::size_t OpenedSize_ = 0;         // the size of the file when it was opened
    std::optional<std::size_t> OneRun_;  // the length of the last pass's text, read in one run
};

// The lines of the measurement block: up to eight from FirstRecordLine on, signature lines
// not counted.
struct TRecordLines {
    std::array<std::string, DirectionCount> Lines{};
    std::size_t Count = 0;

    bool operator==(const TRecordLines&) const = default;
};

// Interprets header lines into `state` (LicenseText, SignatureText, SoftwareVersion, Offset,
// Angle, FirstRecordLine, counted without signature lines), run after run of a text.
class TLogHeaderScan {
  public:
    // Without `keepRecords` the record lines are not copied out (Records stays empty).
    explicit TLogHeaderScan(TLogState& state, bool keepRecords = true)
        : State_(state), KeepRecords_(keepRecords) {}
    // The lines of the next run; every run but the last ends at a line end.
    void Scan(std::string_view run);
    // The next line.
    void Line(std::string_view line);
    const TRecordLines& Records() const { return Records_; }

  private:
    TLogState& State_;
    bool KeepRecords_;
    TRecordLines Records_;
    std::size_t Kept_ = 0;
};

// The header scan of a whole text.
TRecordLines ScanLogHeader(std::string_view text, TLogState& state);

// Hands the signed text over in order: every line except the signature lines, each followed
// by CR LF. Lines that stand in the text with CR LF after them go over together with the
// lines around them, as one piece of the text's own bytes. The runs of a text that each end
// at a line end give, one after the other, the pieces of the whole text.
void ForEachSignedPiece(std::string_view text,
                        const std::function<void(std::string_view piece)>& piece);

// One pass over the lines of a run for both: the header scan, and the signed pieces of the
// run as ForEachSignedPiece hands them over. A piece goes over once the scan has seen its
// lines.
void ScanAndSignRun(std::string_view run, TLogHeaderScan& scan,
                    const std::function<void(std::string_view piece)>& piece);
