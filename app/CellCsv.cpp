#include "app/CellCsv.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/Cp1252.h"
#include "data/MonitorData.h"
#include "data/Utilities.h"

namespace {

std::string NumberField(int64_t value) {
    return value == NoValue ? std::string() : std::to_string(value);
}

// Levels are magnitudes; reports show dBm. Widened so that any 32-bit level negates.
std::string LevelField(int32_t level) {
    return level == NoValue ? std::string() : std::to_string(-static_cast<int64_t>(level));
}

// The same remainder the cell text lines show, a missing code left empty.
std::string BCodeField(int32_t bCode) {
    return bCode == NoValue ? std::string() : std::to_string(bCode % 8);
}

std::string ServiceField(char service) {
    return service == ' ' ? std::string() : std::string(1, service);
}

struct TCellRowContext {
    const std::string& File;
    int Direction;
    const std::string& Time;
    const std::string& Verdict;
    const std::string& Sha256;
    const std::string& LikelyCause;
};

// The serving cell takes its identity from the record; neighbours carry their own.
std::string CellRow(const TCellRowContext& context, const TCellData& data, int index) {
    const TCell& cell = data.Cell(index);
    const bool serving = index == 0;
    return CsvRow({context.File, std::to_string(context.Direction), context.Time,
                   std::to_string(index), NumberField(cell.Channel), LevelField(cell.Level),
                   Cp1252ToUtf8(PlmnText(serving ? data.ServingPlmn() : cell.Plmn)),
                   NumberField(serving ? data.Lac : cell.Lac),
                   NumberField(serving ? data.Ci : cell.Ci), NumberField(cell.C1),
                   NumberField(cell.C2), BCodeField(cell.BCode), ServiceField(cell.ServiceChar()),
                   context.Verdict, context.Sha256, context.LikelyCause});
}

}  // namespace

const std::string& CellCsvHeader() {
    static const std::string header =
        CsvRow({"file", "direction", "time", "cell", "channel", "level_dbm", "network", "lac", "ci",
                "c1", "c2", "b", "d", "verdict", "sha256", "likely_cause"});
    return header;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    quoted += '"';
    return quoted;
}

std::string CsvRow(const std::vector<std::string>& fields) {
    std::string row;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            row += ',';
        }
        row += CsvField(fields[i]);
    }
    row += "\r\n";
    return row;
}

std::string CellCsvRows(const std::string& file, const TDirectionSlots& directions,
                        std::optional<TSignatureVerdict> verdict, const std::string& sha256,
                        const std::string& likelyCause) {
    const std::string verdictText = verdict ? VerdictText(*verdict) : std::string();
    std::string rows;
    for (int d = 0; d < DirectionCount; ++d) {
        const TDirectionSlot& slot = directions[static_cast<size_t>(d)];
        if (!slot.HasData || slot.Measurement == nullptr) {
            continue;
        }
        const TCellData& data = *slot.Measurement;
        const std::string time = IsoTimeText(data.Timestamp);
        const TCellRowContext context{file, d, time, verdictText, sha256, likelyCause};
        for (int index = 0; index < TCellData::CellCount; ++index) {
            if (index == 0 || data.Cell(index).Level != NoValue) {
                rows += CellRow(context, data, index);
            }
        }
    }
    return rows;
}

std::string IsoTimeText(TDateTime time) {
    using namespace std::chrono;
    constexpr int64_t secondsPerDay = 86400;
    const int64_t total = std::llround(time * secondsPerDay);
    int64_t day = total / secondsPerDay;
    int64_t second = total % secondsPerDay;
    if (second < 0) {
        second += secondsPerDay;
        --day;
    }
    const year_month_day date{sys_days{1899y / December / 30} + days{day}};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60),
                  static_cast<int>(second % 60));
    return text;
}
