#include "tools/InspectReport.h"

#include <cstdio>

#include "app/CellCsv.h"
#include "app/Cp1252.h"
#include "app/LogLoader.h"
#include "charts/CellTextLines.h"
#include "tools/HeadlessView.h"

namespace {

std::vector<std::string> SplitAtLineBreaks(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    size_t start = 0;
    while (true) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

TDirectionReport MakeDirectionReport(const TDirectionSlot& slot, int index,
                                     const THeadlessView& view) {
    TDirectionReport report;
    report.Index = index;
    report.HasData = slot.HasData;
    report.Levels = slot.Levels;
    report.Time = slot.Measurement->Timestamp;
    report.Selector = view.Placements[index];
    report.CurrentCell = Cp1252ToUtf8(ServingCellLine(*slot.Measurement));
    report.Neighbors = SplitAtLineBreaks(Cp1252ToUtf8(NeighborLines(*slot.Measurement)));
    return report;
}

void WriteJsonString(std::ostream& out, const std::string& utf8) {
    out << '"';
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out << "\\\"";
                break;
            case '\\':
                out << "\\\\";
                break;
            case '\n':
                out << "\\n";
                break;
            case '\r':
                out << "\\r";
                break;
            case '\t':
                out << "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x",
                                  static_cast<unsigned>(static_cast<unsigned char>(c)));
                    out << escaped;
                } else {
                    out << c;
                }
        }
    }
    out << '"';
}

void WriteJsonOptionalString(std::ostream& out, const std::optional<std::string>& text) {
    if (text) {
        WriteJsonString(out, *text);
    } else {
        out << "null";
    }
}

void WriteDirectionJson(std::ostream& out, const TDirectionReport& d, bool last) {
    out << "    {\n      \"index\": " << d.Index << ",\n";
    out << "      \"hasData\": " << (d.HasData ? "true" : "false") << ",\n";
    out << "      \"levels\": ";
    if (d.HasData) {
        out << '[' << d.Levels[0] << ", " << d.Levels[1] << ", " << d.Levels[2] << ", "
            << d.Levels[3] << ']';
    } else {
        out << "null";
    }
    out << ",\n      \"time\": ";
    WriteJsonOptionalString(out, d.HasData ? std::optional(IsoTimeText(d.Time)) : std::nullopt);
    out << ",\n      \"selector\": ";
    if (d.Selector) {
        out << '[' << d.Selector->first << ", " << d.Selector->second << ']';
    } else {
        out << "null";
    }
    out << ",\n      \"currentCell\": ";
    WriteJsonString(out, d.CurrentCell);
    out << ",\n      \"neighbors\": [";
    for (size_t i = 0; i < d.Neighbors.size(); ++i) {
        out << (i == 0 ? "\n        " : ",\n        ");
        WriteJsonString(out, d.Neighbors[i]);
    }
    out << (d.Neighbors.empty() ? "]" : "\n      ]") << "\n    }" << (last ? "\n" : ",\n");
}

}  // namespace

void WriteFileJson(std::ostream& out, const TFileReport& r) {
    out << "{\n  \"file\": ";
    WriteJsonString(out, r.File);
    out << ",\n  \"error\": ";
    WriteJsonOptionalString(out, r.Error);
    out << ",\n  \"softwareVersion\": " << r.State.SoftwareVersion;
    out << ",\n  \"license\": ";
    WriteJsonString(out, r.State.LicenseText);
    out << ",\n  \"signature\": ";
    WriteJsonString(out, r.State.SignatureText);
    out << ",\n  \"offset\": " << r.State.Offset;
    out << ",\n  \"angle\": " << r.State.Angle;
    out << ",\n  \"firstRecordLine\": " << r.State.FirstRecordLine;
    out << ",\n  \"verdict\": ";
    WriteJsonOptionalString(out, r.Verdict ? std::optional(VerdictText(*r.Verdict)) : std::nullopt);
    out << ",\n  \"dataLoaded\": " << (r.State.DataLoaded ? "true" : "false");
    out << ",\n  \"selected\": ";
    if (r.Selected) {
        out << *r.Selected;
    } else {
        out << "null";
    }
    out << ",\n  \"directions\": [\n";
    for (const TDirectionReport& d : r.Directions) {
        WriteDirectionJson(out, d, d.Index == DirectionCount - 1);
    }
    out << "  ]\n}";
}

namespace {

std::string LevelsText(const std::array<int32_t, 4>& levels) {
    std::string text;
    for (const int32_t level : levels) {
        text += level == NoValue ? std::string(" -") : " -" + std::to_string(level);
    }
    return text;
}

std::string VerdictLine(const TFileReport& r) {
    if (r.Verdict) {
        return VerdictText(*r.Verdict);
    }
    if (r.Error) {
        return "none, the load stopped: " + *r.Error;
    }
    return "none, software version " + std::to_string(r.State.SoftwareVersion) + " is below " +
           std::to_string(MinimumSoftwareVersion);
}

}  // namespace

TFileReport MakeFileReport(const std::string& file, const std::optional<std::string>& error,
                           const TLogLoader& loader, const THeadlessView& view) {
    TFileReport report;
    report.File = file;
    report.Error = error;
    report.State = loader.State();
    report.State.LicenseText = Cp1252ToUtf8(report.State.LicenseText);
    report.State.SignatureText = Cp1252ToUtf8(report.State.SignatureText);
    report.Verdict = loader.Verdict();
    if (loader.SelectedDirection() >= 0) {
        report.Selected = loader.SelectedDirection();
    }
    for (int d = 0; d < DirectionCount; ++d) {
        report.Directions[d] = MakeDirectionReport(loader.DirectionSlots()[d], d, view);
    }
    return report;
}

TExitStatus ExitStatusOf(const TFileReport& report) {
    if (report.Error) {
        return TExitStatus::LoadError;
    }
    if (!report.Verdict || *report.Verdict == TSignatureVerdict::NotInterpretable) {
        return TExitStatus::NotJudged;
    }
    return *report.Verdict == TSignatureVerdict::NotValid ? TExitStatus::NotValid : TExitStatus::Ok;
}

void WriteSummary(std::ostream& out, const TFileReport& r) {
    out << r.File << '\n';
    out << "  signature:        " << VerdictLine(r) << '\n';
    out << "  software version: " << r.State.SoftwareVersion << '\n';
    out << "  offset, angle:    " << r.State.Offset << " deg, " << r.State.Angle << " deg\n";
    for (const TDirectionReport& d : r.Directions) {
        if (!d.HasData) {
            continue;
        }
        out << "  direction " << d.Index << (r.Selected == d.Index ? " (selected)" : "") << ": "
            << IsoTimeText(d.Time) << ", levels" << LevelsText(d.Levels) << " dBm\n";
        out << "     CHN RLEV PLMN   LAI   CID  C1  C2 B D\n";
        out << "    " << d.CurrentCell << '\n';
        for (const std::string& line : d.Neighbors) {
            out << "    " << line << '\n';
        }
    }
}

void WriteBatchLine(std::ostream& out, const TFileReport& r) {
    out << r.File << ": ";
    if (r.Error) {
        out << "error: " << *r.Error << '\n';
    } else if (r.Verdict) {
        out << VerdictText(*r.Verdict) << '\n';
    } else {
        out << "not checked, software version " << r.State.SoftwareVersion << " is below "
            << MinimumSoftwareVersion << '\n';
    }
}

void TBatchCounts::Add(const TFileReport& report) {
    ++Files;
    if (report.Error) {
        ++Errors;
    } else if (!report.Verdict) {
        ++NotChecked;
    } else if (*report.Verdict == TSignatureVerdict::Valid) {
        ++Ok;
    } else if (*report.Verdict == TSignatureVerdict::NotValid) {
        ++NotValid;
    } else {
        ++NotInterpretable;
    }
}

std::string TBatchCounts::Text() const {
    return std::to_string(Files) + (Files == 1 ? " file: " : " files: ") + std::to_string(Ok) +
           " OK, " + std::to_string(NotValid) + " NOT VALID, " + std::to_string(NotInterpretable) +
           " could not be interpreted, " + std::to_string(NotChecked) + " not checked, " +
           std::to_string(Errors) + (Errors == 1 ? " error" : " errors");
}
