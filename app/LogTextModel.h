#pragma once

#include <QString>
#include <atomic>
#include <compare>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "app/LogFile.h"

// A place in the text: a line and a column of its shown text (tabs expanded), from 0.
struct TTextPosition {
    int64_t Line = 0;
    int64_t Column = 0;
    auto operator<=>(const TTextPosition&) const = default;
};

// A found stretch of text: [From, To) on one line.
struct TTextMatch {
    TTextPosition From;
    TTextPosition To;
};

// Long work asks this between pieces: false stops it.
using TTextProgress = std::function<bool(double done)>;

// The text of a log as the text box shows it, without any widget: its lines (found once, on
// whichever thread builds the model), each line's shown text, the caret's moves, the text of a
// stretch, and the search. Immutable once built, so that a search on another thread and the
// window can share it.
class TLogTextModel {
  public:
    TLogTextModel() = default;
    // Finds the lines of `text`; nothing when `progress` asked to stop.
    static std::shared_ptr<const TLogTextModel> Build(const TLogText& text,
                                                      const TTextProgress& progress = {});

    int64_t LineCount() const { return static_cast<int64_t>(Starts_.size()) - 1; }
    // The line's bytes without the CR and LF that end it.
    std::string_view LineBytes(int64_t line) const;
    // What a line shows: decoded from Windows-1252, tabs expanded, at most MaxShownBytes of it.
    QString LineText(int64_t line) const;
    // The whole line, however long.
    QString FullLineText(int64_t line) const;
    int64_t LineLength(int64_t line) const { return LineText(line).size(); }
    uint64_t LongestLine() const { return LongestLine_; }
    // Bytes of the lines first..last (inclusive).
    uint64_t ByteCount(int64_t first, int64_t last) const;

    // The text between two places, lines joined with LF; a stretch reaching the end of a
    // line's shown part takes the rest of that line as well.
    QString Text(TTextPosition from, TTextPosition to) const;

    // The caret's moves; each stays inside the text.
    TTextPosition NextChar(TTextPosition at) const;
    TTextPosition PreviousChar(TTextPosition at) const;
    TTextPosition NextWord(TTextPosition at) const;
    TTextPosition PreviousWord(TTextPosition at) const;
    TTextPosition LineStart(TTextPosition at) const { return {at.Line, 0}; }
    TTextPosition LineEnd(TTextPosition at) const { return {at.Line, LineLength(at.Line)}; }
    TTextPosition LinesDown(TTextPosition at, int64_t lines) const;
    TTextPosition LinesUp(TTextPosition at, int64_t lines) const;
    TTextPosition Start() const { return {}; }
    TTextPosition End() const;
    // The word around a place (letters, digits and '_'), empty between words.
    TTextMatch WordAt(TTextPosition at) const;

    // The next match of `text` (letter case ignored) after `after`, or the last before
    // `before` going backwards, wrapping around the text once; nothing when there is none or
    // `progress` asked to stop.
    std::optional<TTextMatch> Find(const QString& text, TTextMatch current, bool forward,
                                   const TTextProgress& progress = {}) const;
    // How many matches there are in all, and which of them `current` is (from 1; 0 when it is
    // none of them); nothing when `progress` asked to stop.
    struct TCount {
        int64_t Total = 0;
        int64_t Index = 0;
    };
    std::optional<TCount> Count(const QString& text, TTextMatch current,
                                const TTextProgress& progress = {}) const;

    static constexpr size_t MaxShownBytes = 1 << 16;

  private:
    TLogText Text_;
    std::vector<uint64_t> Starts_{0};  // line i is [Starts_[i], Starts_[i + 1])
    uint64_t LongestLine_ = 0;
};
