#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "app/SignatureVerdict.h"

using Lines = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class SplitLogLinesTest : public testing::TestWithParam<SplitCase> {};

// The bytes as a file of their own, removed again at the end of the test.
class TTextFile {
  public:
    explicit TTextFile(const std::string& bytes)
        : Path_(std::filesystem::temp_directory_path() /
                ("norva-runs-" + std::to_string(::getpid()) + "-" + std::to_string(++Count_))) {
        std::ofstream(Path_, std::ios::binary) << bytes;
    }
    ~TTextFile() { std::filesystem::remove(Path_); }
    const std::filesystem::path& Path() const { return Path_; }

  private:
    static inline int Count_ = 0;
    std::filesystem::path Path_;
};

// Buffers from a byte on: every line end and every CR LF falls on a piece boundary somewhere.
constexpr std::size_t RunBufferSizes[] = {1, 2, 3, 5, 16, TLogTextRuns::DefaultBufferSize};

// The runs of a file read in pieces, for every buffer size, each pass twice over one object.
std::vector<std::vector<std::string>> RunsOfFile(const std::string& bytes) {
    const TTextFile file(bytes);
    std::vector<std::vector<std::string>> passes;
    for (const std::size_t size : RunBufferSizes) {
        TLogTextRuns runs(file.Path(), size);
        for (int pass = 0; pass < 2; ++pass) {
            passes.emplace_back();
            runs.ForEachRun([&passes](std::string_view run) { passes.back().emplace_back(run); });
        }
    }
    return passes;
}

using namespace std::string_literals;

// A pass reads to the end the file has then: the buffer is sized when the file is opened, and
// a file that grew since, by a byte or by a line, is still read whole.
TEST(LogTextRunsTest, APassReadsAFileThatGrewSinceItWasOpened) {
    const std::string first = "LICENSE: A\r\nSWVERSION: NG-FW 795\r\n";
    for (const std::string& added : {"X"s, "03;20240514102231;U\r\n"s}) {
        const TTextFile file(first);
        TLogTextRuns runs(file.Path());
        std::ofstream(file.Path(), std::ios::binary | std::ios::app) << added;
        std::string read;
        runs.ForEachRun([&read](std::string_view run) { read += run; });
        EXPECT_EQ(read, first + added);
    }
}

// Read whole or in runs, the text holds the same lines: no run ends inside a line or between
// the CR and the LF of a line end.
TEST_P(SplitLogLinesTest, GivesTheLinesOfTheText) {
    EXPECT_EQ(SplitLogLines(GetParam().bytes), GetParam().lines);
    for (const auto& runs : RunsOfFile(GetParam().bytes)) {
        Lines lines;
        for (const std::string& run : runs) {
            const Lines ofRun = SplitLogLines(run);
            lines.insert(lines.end(), ofRun.begin(), ofRun.end());
        }
        EXPECT_EQ(lines, GetParam().lines) << runs.size() << " runs";
    }
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, SplitLogLinesTest,
    testing::Values(SplitCase{"empty", "", {}}, SplitCase{"crlf", "a\r\nb\r\n", {"a", "b"}},
                    SplitCase{"lf", "a\nb\n", {"a", "b"}}, SplitCase{"cr", "a\rb\r", {"a", "b"}},
                    SplitCase{"no_final_end", "a\r\nb", {"a", "b"}},
                    SplitCase{"lf_cr_is_two_ends", "a\n\rb", {"a", "", "b"}},
                    SplitCase{"empty_lines_stay", "\r\n\n\r", {"", "", ""}},
                    SplitCase{"mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                    SplitCase{"blanks_stay", " a \t\r\n  \r\n", {" a \t", "  "}},
                    SplitCase{"nul_ends_text", "a\r\nb\0c\r\nd"s, {"a", "b"}},
                    SplitCase{"nul_first", "\0abc"s, {}},
                    SplitCase{"cr_before_nul", "a\r\0\nb"s, {"a"}},
                    SplitCase{"high_bytes", "\xe4\xff\x81\r\n", {"\xe4\xff\x81"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ScanCase {
    const char* name;
    Lines lines;
    TLogState state;  // DataLoaded is not touched by the scan
    Lines kept;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

// The lines as a file holds them, each ended by CR LF.
std::string FileText(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::string SignedText(std::string_view text) {
    std::string signedText;
    ForEachSignedPiece(text, [&signedText](std::string_view piece) { signedText += piece; });
    return signedText;
}

class ScanLogHeaderTest : public testing::TestWithParam<ScanCase> {};

TEST_P(ScanLogHeaderTest, ReadsTheHeaderAndDropsSignatureLines) {
    const std::string text = FileText(GetParam().lines);
    TLogState state;
    ScanLogHeader(text, state);
    const TLogState& want = GetParam().state;
    EXPECT_EQ(state.LicenseText, want.LicenseText);
    EXPECT_EQ(state.SignatureText, want.SignatureText);
    EXPECT_EQ(state.SoftwareVersion, want.SoftwareVersion);
    EXPECT_EQ(state.Offset, want.Offset);
    EXPECT_EQ(state.Angle, want.Angle);
    EXPECT_EQ(state.FirstRecordLine, want.FirstRecordLine);
    EXPECT_EQ(SignedText(text), FileText(GetParam().kept));
    // Scanned run by run, with the lines as they come from a file read in pieces.
    for (const auto& runs : RunsOfFile(text)) {
        TLogState fromRuns;
        TLogHeaderScan scan(fromRuns);
        std::string signedText;
        for (const std::string& run : runs) {
            ScanAndSignRun(run, scan,
                           [&signedText](std::string_view piece) { signedText += piece; });
        }
        EXPECT_EQ(fromRuns.LicenseText, want.LicenseText);
        EXPECT_EQ(fromRuns.SignatureText, want.SignatureText);
        EXPECT_EQ(fromRuns.SoftwareVersion, want.SoftwareVersion);
        EXPECT_EQ(fromRuns.FirstRecordLine, want.FirstRecordLine);
        EXPECT_EQ(signedText, FileText(GetParam().kept));
    }
}

TLogState With(std::string license, std::string signature, int32_t version, int32_t offset,
               int32_t angle, int32_t firstRecord) {
    return TLogState{false, std::move(license), std::move(signature), version, offset,
                     angle, firstRecord};
}

INSTANTIATE_TEST_SUITE_P(
    HeaderKeys, ScanLogHeaderTest,
    testing::Values(
        ScanCase{"offset_without_blank_loses_first_digit",
                 {"OFFSET:10"},
                 With("", "", 0, 0, 0, -1),
                 {"OFFSET:10"}},
        ScanCase{"offset_with_blank", {"OFFSET: 10"}, With("", "", 0, 10, 0, -1), {"OFFSET: 10"}},
        ScanCase{"offset_trailing_blank_fails",
                 {"OFFSET: 10 "},
                 With("", "", 0, 0, 0, -1),
                 {"OFFSET: 10 "}},
        ScanCase{"angle_hex_and_sign",
                 {"ANGLE: $2D", "OFFSET: -30"},
                 With("", "", 0, -30, 45, -1),
                 {"ANGLE: $2D", "OFFSET: -30"}},
        ScanCase{"angle_out_of_range_is_zero",
                 {"ANGLE: 99999999999"},
                 With("", "", 0, 0, 0, -1),
                 {"ANGLE: 99999999999"}},
        ScanCase{"version_from_characters_18_to_20",
                 {"SWVERSION: NG-FW 7901"},
                 With("", "", 790, 0, 0, -1),
                 {"SWVERSION: NG-FW 7901"}},
        ScanCase{"version_line_too_short",
                 {"SWVERSION: 795"},
                 With("", "", 0, 0, 0, -1),
                 {"SWVERSION: 795"}},
        ScanCase{"version_two_digits_at_end",
                 {"SWVERSION: NG-FW 79"},
                 With("", "", 79, 0, 0, -1),
                 {"SWVERSION: NG-FW 79"}},
        ScanCase{"ninth_character_skipped_whatever_it_is",
                 {"LICENSE:XAB C "},
                 With("AB C ", "", 0, 0, 0, -1),
                 {"LICENSE:XAB C "}},
        ScanCase{"bare_keys_give_empty_values",
                 {"LICENSE:", "SIGNATURE:"},
                 With("", "", 0, 0, 0, -1),
                 {"LICENSE:"}},
        ScanCase{"lower_case_keys_are_ordinary",
                 {"license: x", "signature: y", "Swversion: NG-FW 795"},
                 With("", "", 0, 0, 0, -1),
                 {"license: x", "signature: y", "Swversion: NG-FW 795"}},
        ScanCase{"later_line_replaces_earlier",
                 {"LICENSE: a", "LICENSE: b", "ANGLE: 1", "ANGLE: 2"},
                 With("b", "", 0, 0, 2, -1),
                 {"LICENSE: a", "LICENSE: b", "ANGLE: 1", "ANGLE: 2"}},
        ScanCase{"every_signature_line_removed_last_counts",
                 {"SIGNATURE: one", "x", "SIGNATURE: two ", "y"},
                 With("", "two ", 0, 0, 0, -1),
                 {"x", "y"}},
        ScanCase{"line_after_signature_is_examined",
                 {"SIGNATURE: s", "LICENSE: L", "SIGNATURE: t", "SIGNATURE: u", "03;a"},
                 With("L", "u", 0, 0, 0, 1),
                 {"LICENSE: L", "03;a"}},
        ScanCase{"first_record_line_counts_after_removal",
                 {"a", "SIGNATURE: s", "03;first", "03;second"},
                 With("", "s", 0, 0, 0, 1),
                 {"a", "03;first", "03;second"}},
        ScanCase{"record_line_at_index_zero",
                 {"03;x", "SWVERSION: NG-FW 795"},
                 With("", "", 795, 0, 0, 0),
                 {"03;x", "SWVERSION: NG-FW 795"}},
        ScanCase{"keys_must_begin_the_line",
                 {" LICENSE: a", "x03;"},
                 With("", "", 0, 0, 0, -1),
                 {" LICENSE: a", "x03;"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Runs of lines ended by CR LF go over as the text's own bytes, other lines with a CR LF of
// their own; a signature line breaks a run.
TEST(SignedTextTest, EveryLineEndsWithCrLf) {
    EXPECT_EQ(SignedText(""), "");
    EXPECT_EQ(SignedText("\n"), "\r\n");
    EXPECT_EQ(SignedText("a\n\nb "), "a\r\n\r\nb \r\n");
    EXPECT_EQ(SignedText("a\r\nb\r\rc\n\rd\r\n"), "a\r\nb\r\n\r\nc\r\n\r\nd\r\n");
    EXPECT_EQ(SignedText("SIGNATURE: x\r\na\r\nb\r\nSIGNATURE: y\nc\r\nSIGNATURE: z"),
              "a\r\nb\r\nc\r\n");
    EXPECT_EQ(SignedText("a\r\nSIGNATURE: x\r\nb\r\n\r\nc"), "a\r\nb\r\n\r\nc\r\n");
    // A long run goes over in several pieces.
    std::string longRun;
    for (int i = 0; longRun.size() < 200000; ++i) {
        longRun += "03;" + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(SignedText(longRun + "SIGNATURE: x\n" + longRun + "z"), longRun + longRun + "z\r\n");
    // Read in pieces: the signed text of the runs is the signed text of the file.
    for (const std::string& text :
         {std::string("a\r\nb\r\rc\n\rd\r\n"), longRun + "SIGNATURE: x\n" + longRun + "z\r"}) {
        for (const auto& runs : RunsOfFile(text)) {
            std::string signedText;
            for (const std::string& run : runs) {
                signedText += SignedText(run);
            }
            EXPECT_EQ(signedText, SignedText(text));
        }
    }
}
