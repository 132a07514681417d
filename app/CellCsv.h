#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/SignatureVerdict.h"
#include "data/DirectionSlot.h"
#include "data/Logger.h"

// The received cells of a loaded log as CSV for reports, shared by norva-inspect --csv and
// the window's export so that both write the same bytes.
//
// A cell counts as received when its direction has data (a valid serving-cell identity):
// then its serving cell always gives a row, and each of its eight neighbours gives one when
// it carries a level (Level is not NoValue). Directions come in order 0..7, cells in order
// 0 (serving) .. 8. Every missing number (NoValue) is an empty field. Text is UTF-8, decoded
// from the log's Windows-1252 bytes; rows end with CR LF.

// "file,direction,time,cell,channel,level_dbm,network,lac,ci,c1,c2,b,d,verdict,sha256,
// likely_cause" and CR LF.
const std::string& CellCsvHeader();

// One field quoted when it holds a comma, a double quote, CR or LF, with its quotes doubled.
std::string CsvField(std::string_view text);

// The fields quoted as needed, joined with commas, ended with CR LF.
std::string CsvRow(const std::vector<std::string>& fields);

// The rows (no header) of the received cells of `directions`. `file` names the log in the first
// column (UTF-8); the verdict column is empty when none was computed; `sha256` is the digest
// of the log's bytes when one was taken, `likelyCause` fills the last column: the codes of the
// harmless change that explains a NOT VALID verdict.
std::string CellCsvRows(const std::string& file, const TDirectionSlots& directions,
                        std::optional<TSignatureVerdict> verdict, const std::string& sha256 = {},
                        const std::string& likelyCause = {});

// "YYYY-MM-DDThh:mm:ss", rounded to the nearest second.
std::string IsoTimeText(TDateTime time);
