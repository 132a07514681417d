#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A change that programs make to a text file on its way, harmless to the measurements but fatal
// to the signature.
enum class TLikelyCauseCode {
    BomAdded,             // a UTF-8 byte-order mark before the first line
    Utf8Reencoded,        // every byte above 127 written as a UTF-8 character
    LinesWrapped,         // long lines broken after a fixed number of characters
    TrailingBlanksAdded,  // blanks or tabs at line ends
    LinesAppended,        // lines after the log's last one
};

// What the search for a harmless change found for a log whose signature is NOT VALID.
struct TLikelyCause {
    bool Searched = false;  // false: the log is too large to be searched
    // The changes that, undone in this order, give a text whose signature is OK; empty when
    // none of the known changes explains the log.
    std::vector<TLikelyCauseCode> Changes;

    bool Found() const { return !Changes.empty(); }
    bool operator==(const TLikelyCause&) const = default;
};

// Larger logs are not searched: every change tried signs the whole log again.
inline constexpr std::size_t MaxLikelyCauseBytes = std::size_t{64} << 20;

// Undoes each known change, and the combinations editors make of them, on copies of the log's
// text (its bytes up to the first NUL) and signs each copy as the verdict would; the first
// one whose signature equals the one it holds is the cause. Never looks beyond that: a copy
// counts only when its own header scan and signature give the verdict OK.
TLikelyCause FindLikelyCause(std::string_view text);

// How many searches have run in this process: a log that is not NOT VALID, or too large, must
// leave it unchanged.
std::size_t LikelyCauseSearchCount();

// "bom-added", "utf8-reencoded", "lines-wrapped", "trailing-blanks-added", "lines-appended".
const char* LikelyCauseCodeName(TLikelyCauseCode code);
// The codes joined with '+', e.g. "bom-added+utf8-reencoded"; empty for none.
std::string LikelyCauseCodes(const std::vector<TLikelyCauseCode>& changes);
// A few words for a list row: "saved as UTF-8".
std::string LikelyCauseSummary(const std::vector<TLikelyCauseCode>& changes);
// What a line beside the verdict says in brackets: "likely cause: saved as UTF-8 by an
// editor; in its original encoding the signature is OK".
std::string LikelyCauseNote(const std::vector<TLikelyCauseCode>& changes);
// One sentence for people about the search's result: the cause and that the file is not
// authentic as it stands, that nothing known explains it, or that it was not searched.
std::string LikelyCauseText(const TLikelyCause& cause);
