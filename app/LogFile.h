#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// Reads a whole file, opened for reading only. Raises EFOpenError when the file cannot be
// opened or read (missing, a directory, no permission).
TLogText ReadLogText(const std::filesystem::path& path);

// The lines of the measurement block: up to eight from FirstRecordLine on, signature lines
// not counted, as views into the text.
struct TRecordLines {
    std::array<std::string_view, DirectionCount> Lines{};
    std::size_t Count = 0;
};

// Interprets the header lines of the text into `state` (LicenseText, SignatureText,
// SoftwareVersion, Offset, Angle, FirstRecordLine, counted without signature lines).
TRecordLines ScanLogHeader(std::string_view text, TLogState& state);

// Hands the signed text over in order: every line except the signature lines, each followed
// by CR LF. Lines that stand in the text with CR LF after them go over together with the
// lines around them, as one piece of the text's own bytes.
void ForEachSignedPiece(std::string_view text,
                        const std::function<void(std::string_view piece)>& piece);
