#include "tools/InspectReport.h"

#include <algorithm>
#include <cstdio>

#include <QList>
#include <QString>

#include "app/CellCsv.h"
#include "app/PathText.h"

namespace {

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

// An array of codes for a log that was searched, null for any other; the sentence whenever
// there is a search result to tell.
void WriteLikelyCauseJson(std::ostream& out, const std::optional<TLikelyCause>& cause) {
    out << ",\n  \"likelyCause\": ";
    if (cause && cause->Searched) {
        out << '[';
        for (size_t i = 0; i < cause->Changes.size(); ++i) {
            out << (i == 0 ? "" : ", ");
            WriteJsonString(out, LikelyCauseCodeName(cause->Changes[i]));
        }
        out << ']';
    } else {
        out << "null";
    }
    out << ",\n  \"likelyCauseText\": ";
    WriteJsonOptionalString(out, cause ? std::optional(LikelyCauseText(*cause)) : std::nullopt);
}

}  // namespace

void WriteFileJson(std::ostream& out, const TFileReport& r,
                   const std::optional<std::filesystem::path>& duplicateOf) {
    out << "{\n  \"file\": ";
    WriteJsonString(out, PathUtf8(r.Path));
    out << ",\n  \"sha256\": ";
    WriteJsonOptionalString(out, r.Sha256.empty() ? std::nullopt : std::optional(r.Sha256));
    out << ",\n  \"duplicateOf\": ";
    WriteJsonOptionalString(out,
                            duplicateOf ? std::optional(PathUtf8(*duplicateOf)) : std::nullopt);
    out << ",\n  \"error\": ";
    WriteJsonOptionalString(out, r.Error);
    out << ",\n  \"reason\": ";
    WriteJsonOptionalString(out, OutcomeReason(r));
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
    WriteLikelyCauseJson(out, r.LikelyCause);
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

// The outcome, and in brackets the harmless change that explains a NOT VALID verdict.
std::string OutcomeWithCause(const TFileReport& r) {
    if (!HasHarmlessCause(r)) {
        return OutcomeText(r);
    }
    return OutcomeText(r) + " (" + LikelyCauseNote(r.LikelyCause->Changes) + ")";
}

}  // namespace

void WriteSummary(std::ostream& out, const TFileReport& r) {
    out << HumanPathText(r.Path) << '\n';
    out << "  signature:        " << OutcomeWithCause(r) << '\n';
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

void WriteBatchLine(std::ostream& out, const TFileReport& r,
                    const std::optional<std::filesystem::path>& duplicateOf) {
    out << HumanPathText(r.Path) << ": " << OutcomeWithCause(r);
    if (duplicateOf) {
        out << " (" << SameContentText(HumanPathText(*duplicateOf)) << ')';
    }
    out << '\n';
}

namespace {

bool NeedsEscape(char32_t c) {
    return c < 0x20 || (c >= 0x7f && c < 0xa0) || c == '"';
}

}  // namespace

std::string HumanPathText(const std::filesystem::path& path) {
    const QString text = DisplayPathText(path);
    const QList<uint> characters = text.toUcs4();
    if (std::none_of(characters.begin(), characters.end(), NeedsEscape)) {
        return text.toStdString();
    }
    std::string quoted = "\"";
    for (const uint c : characters) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (c == '\r') {
            quoted += "\\r";
        } else if (NeedsEscape(c)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            quoted += escaped;
        } else {
            const char32_t one = c;
            quoted += QString::fromUcs4(&one, 1).toStdString();
        }
    }
    quoted += '"';
    return quoted;
}
