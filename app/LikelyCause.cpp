#include "app/LikelyCause.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <optional>

#include "app/Cp1252.h"
#include "app/LogFile.h"
#include "app/LogState.h"
#include "app/SignatureVerdict.h"
#include "crypto/Cipher.h"

namespace {

std::atomic<std::size_t> Searches{0};

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
// Mail programs and editors wrap at a width of their own; these are the widths in use.
constexpr std::size_t MinWrapWidth = 60;
constexpr std::size_t MaxWrapWidth = 200;
constexpr std::size_t MaxAppendedLines = 50;

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    TLineCursor cursor(text);
    std::string_view line;
    while (cursor.Next(line)) {
        lines.push_back(line);
    }
    return lines;
}

// The line ends need not be the file's: the signed text ends every line with CR LF anyway.
std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool IsSignatureLine(std::string_view line) {
    return line.starts_with("SIGNATURE:");
}

// Whether the loader would show "The signature is OK" for this text.
bool SignsOk(std::string_view text) {
    TLogState state;
    ScanLogHeader(text, state);
    return state.SoftwareVersion >= MinimumSoftwareVersion &&
           JudgeSignature(text, state.LicenseText, state.SignatureText) == TSignatureVerdict::Valid;
}

std::optional<std::string> WithoutByteOrderMark(std::string_view text) {
    if (!text.starts_with(ByteOrderMark)) {
        return std::nullopt;
    }
    return std::string(text.substr(ByteOrderMark.size()));
}

std::optional<std::string> InSingleBytes(std::string_view text) {
    const bool beyondAscii =
        std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
    return beyondAscii ? Utf8ToCp1252(text) : std::nullopt;
}

bool EndsInBlank(std::string_view line) {
    return line.ends_with(' ') || line.ends_with('\t');
}

std::optional<std::string> WithoutTrailingBlanks(const std::vector<std::string_view>& lines) {
    if (std::none_of(lines.begin(), lines.end(), EndsInBlank)) {
        return std::nullopt;
    }
    std::vector<std::string> trimmed;
    trimmed.reserve(lines.size());
    for (const std::string_view line : lines) {
        const size_t kept = line.find_last_not_of(" \t") + 1;  // npos + 1 == 0
        trimmed.emplace_back(line.substr(0, kept));
    }
    return JoinLines(trimmed);
}

// Every line of exactly `width` characters joined with the line after it, and that one with its
// next if it is as long too.
std::string JoinWrappedLines(const std::vector<std::string_view>& lines, std::size_t width) {
    std::vector<std::string> joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line(lines[i]);
        while (lines[i].size() == width && i + 1 < lines.size()) {
            line += lines[++i];
        }
        joined.push_back(std::move(line));
    }
    return JoinLines(joined);
}

bool WrappingExplains(const std::vector<std::string_view>& lines) {
    std::array<int, MaxWrapWidth + 1> count{};
    for (const std::string_view line : lines) {
        if (line.size() >= MinWrapWidth && line.size() <= MaxWrapWidth) {
            ++count[line.size()];
        }
    }
    for (std::size_t width = MinWrapWidth; width <= MaxWrapWidth; ++width) {
        if (count[width] >= 2 && SignsOk(JoinWrappedLines(lines, width))) {
            return true;
        }
    }
    return false;
}

// The logs without their last k lines (k = 1 .. MaxAppendedLines; signature lines stay where
// they are) that could be signed: the lengths of their signed texts, beginnings of the whole
// log's, shortest first, by the licence value each has. `whole` gets the scan of the whole log.
std::map<std::string, std::vector<std::size_t>> ShortenedLogLengths(
    const std::vector<std::string_view>& lines, TLogState& whole) {
    const auto kept = static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [](auto l) { return !IsSignatureLine(l); }));
    TLogHeaderScan scan(whole);
    std::map<std::string, std::vector<std::size_t>> lengthsByLicence;
    std::size_t signedLength = 0;
    std::size_t index = 0;
    for (const std::string_view line : lines) {
        scan.Line(line);
        if (IsSignatureLine(line)) {
            continue;
        }
        signedLength += line.size() + 2;
        if (++index + MaxAppendedLines >= kept && index < kept &&
            whole.SoftwareVersion >= MinimumSoftwareVersion && !whole.LicenseText.empty()) {
            lengthsByLicence[whole.LicenseText].push_back(signedLength);
        }
    }
    return lengthsByLicence;
}

// All shortened logs with one licence value are signed in one pass over the signed text.
bool AppendedLinesExplain(std::string_view text, const std::vector<std::string_view>& lines) {
    TLogState whole;
    const auto lengthsByLicence = ShortenedLogLengths(lines, whole);
    // Signature lines are never taken away: the last one's value is every shortened log's.
    if (lengthsByLicence.empty() || whole.SignatureText.empty()) {
        return false;
    }
    std::string signedText;
    signedText.reserve(text.size());
    ForEachSignedPiece(text, [&signedText](std::string_view piece) { signedText += piece; });
    for (const auto& [licence, lengths] : lengthsByLicence) {
        TCipher cipher;
        cipher.Setup("", licence);
        const std::vector<std::string> signatures = cipher.SignPrefixes(signedText, lengths);
        if (std::find(signatures.begin(), signatures.end(), whole.SignatureText) !=
            signatures.end()) {
            return true;
        }
    }
    return false;
}

using TChanges = std::vector<TLikelyCauseCode>;

// The changes alone, then as editors combine them: a byte-order mark comes with saving as UTF-8,
// and with the blanks an editor leaves at line ends.
std::optional<TChanges> FindChanges(std::string_view text) {
    using enum TLikelyCauseCode;
    const std::optional<std::string> withoutMark = WithoutByteOrderMark(text);
    if (withoutMark && SignsOk(*withoutMark)) {
        return TChanges{BomAdded};
    }
    if (const auto bytes = InSingleBytes(text); bytes && SignsOk(*bytes)) {
        return TChanges{Utf8Reencoded};
    }
    const std::vector<std::string_view> lines = Lines(text);
    if (WrappingExplains(lines)) {
        return TChanges{LinesWrapped};
    }
    if (const auto trimmed = WithoutTrailingBlanks(lines); trimmed && SignsOk(*trimmed)) {
        return TChanges{TrailingBlanksAdded};
    }
    if (AppendedLinesExplain(text, lines)) {
        return TChanges{LinesAppended};
    }
    if (!withoutMark) {
        return std::nullopt;
    }
    if (const auto bytes = InSingleBytes(*withoutMark); bytes && SignsOk(*bytes)) {
        return TChanges{BomAdded, Utf8Reencoded};
    }
    if (const auto trimmed = WithoutTrailingBlanks(Lines(*withoutMark));
        trimmed && SignsOk(*trimmed)) {
        return TChanges{BomAdded, TrailingBlanksAdded};
    }
    return std::nullopt;
}

struct TCauseWords {
    TChanges Changes;
    const char* Summary;
    const char* What;    // what was done to the file
    const char* Undone;  // how the signature reads with it undone
};

const TCauseWords& WordsFor(const TChanges& changes) {
    using enum TLikelyCauseCode;
    static const std::array<TCauseWords, 7> words = {{
        {{BomAdded},
         "byte-order mark added",
         "a byte-order mark was added before its first line",
         "without it the signature is OK"},
        {{Utf8Reencoded},
         "saved as UTF-8",
         "saved as UTF-8 by an editor",
         "in its original encoding the signature is OK"},
        {{LinesWrapped},
         "lines wrapped",
         "its long lines were wrapped",
         "with them joined again the signature is OK"},
        {{TrailingBlanksAdded},
         "blanks added at line ends",
         "blanks were added at line ends",
         "without them the signature is OK"},
        {{LinesAppended},
         "lines appended",
         "lines were appended after its end",
         "without them the signature is OK"},
        {{BomAdded, Utf8Reencoded},
         "saved as UTF-8 with a byte-order mark",
         "saved as UTF-8 with a byte-order mark by an editor",
         "in its original encoding the signature is OK"},
        {{BomAdded, TrailingBlanksAdded},
         "byte-order mark and blanks at line ends added",
         "a byte-order mark and blanks at line ends were added",
         "without them the signature is OK"},
    }};
    const auto found = std::find_if(words.begin(), words.end(),
                                    [&](const TCauseWords& w) { return w.Changes == changes; });
    return found != words.end() ? *found : words[0];
}

}  // namespace

TLikelyCause FindLikelyCause(std::string_view text) {
    TLikelyCause cause;
    if (text.size() > MaxLikelyCauseBytes) {
        return cause;
    }
    Searches.fetch_add(1, std::memory_order_relaxed);
    cause.Searched = true;
    if (std::optional<TChanges> changes = FindChanges(text)) {
        cause.Changes = std::move(*changes);
    }
    return cause;
}

std::size_t LikelyCauseSearchCount() {
    return Searches.load(std::memory_order_relaxed);
}

const char* LikelyCauseCodeName(TLikelyCauseCode code) {
    switch (code) {
        case TLikelyCauseCode::BomAdded:
            return "bom-added";
        case TLikelyCauseCode::Utf8Reencoded:
            return "utf8-reencoded";
        case TLikelyCauseCode::LinesWrapped:
            return "lines-wrapped";
        case TLikelyCauseCode::TrailingBlanksAdded:
            return "trailing-blanks-added";
        case TLikelyCauseCode::LinesAppended:
            break;
    }
    return "lines-appended";
}

std::string LikelyCauseCodes(const std::vector<TLikelyCauseCode>& changes) {
    std::string codes;
    for (const TLikelyCauseCode code : changes) {
        codes += (codes.empty() ? "" : "+");
        codes += LikelyCauseCodeName(code);
    }
    return codes;
}

std::string LikelyCauseSummary(const std::vector<TLikelyCauseCode>& changes) {
    return changes.empty() ? std::string() : WordsFor(changes).Summary;
}

std::string LikelyCauseNote(const std::vector<TLikelyCauseCode>& changes) {
    if (changes.empty()) {
        return {};
    }
    const TCauseWords& words = WordsFor(changes);
    return std::string("likely cause: ") + words.What + "; " + words.Undone;
}

std::string LikelyCauseText(const TLikelyCause& cause) {
    if (!cause.Searched) {
        return "No likely cause was looked for: the log is larger than 64 MiB.";
    }
    if (!cause.Found()) {
        return "None of the known harmless changes explains the difference: request the "
               "original file.";
    }
    const TCauseWords& words = WordsFor(cause.Changes);
    return std::string("Likely cause: ") + words.What + " (" + words.Undone +
           "); this file is not authentic as it stands: request the original file.";
}
