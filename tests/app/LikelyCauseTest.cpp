#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Cp1252.h"
#include "app/LikelyCause.h"
#include "app/LogLoader.h"
#include "tests/app/RecordingView.h"
#include "tests/support/OpenSslReference.h"

namespace fs = std::filesystem;

namespace {

using enum TLikelyCauseCode;

const std::string Licence = "NRVG-8D 41873 / Bahnfunk Messdienst Nord";

// A log as a device writes it, Windows-1252 bytes above 127 included (0x80 and 0x96 are
// characters only that code page has), record lines far longer than a mail program's lines.
std::vector<std::string> LogLines() {
    std::vector<std::string> lines = {"NORVA-G MEASUREMENT LOG",
                                      "LICENSE: " + Licence,
                                      "SWVERSION: NG-FW 795",
                                      "POSITION: K\xF6ln Hbf, Gleis 3 \x96 S\xFC"
                                      "d, Geb\xFChr 0,00 \x80",
                                      "OFFSET: 0",
                                      "ANGLE: 45",
                                      "01;20240514102231;START;8"};
    for (int d = 0; d < 8; ++d) {
        std::string record = "03;20240514102231;U;1;0;100" + std::to_string(d) + ";4711;26210;2G";
        for (int cell = 0; cell < 9; ++cell) {
            record += ";0;16;96" + std::to_string(cell) + ";5" + std::to_string(d) +
                      ";1004;4711;26210;21;0;15;G";
        }
        lines.push_back(record);
    }
    lines.push_back("99;END");
    return lines;
}

std::string SignedLog() {
    std::string signedText;
    std::string text;
    for (const std::string& line : LogLines()) {
        signedText += line + "\r\n";
        text += line + "\r\n";
    }
    return text + "SIGNATURE: " + testsupport::ref::LogSignature(signedText, Licence) + "\r\n";
}

std::string Iso8859ToUtf8(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Every line longer than `width` broken into lines of `width` characters and a shorter rest.
std::string Wrapped(const std::string& text, size_t width) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end - start);
        while (line.size() > width) {
            out += line.substr(0, width) + "\n";
            line.erase(0, width);
        }
        out += line + "\n";
        start = end + 2;
    }
    return out;
}

std::string WithTrailingBlanks(const std::string& text) {
    std::string out = Replaced(text, "LOG\r\n", "LOG \r\n");
    out = Replaced(out, "START;8\r\n", "START;8\t \r\n");
    const size_t signature = out.find("SIGNATURE:");
    return out.insert(out.find("\r\n", signature), "  ");
}

const std::string Bom = "\xEF\xBB\xBF";

struct CauseCase {
    const char* Name;
    std::function<std::string(const std::string&)> Change;
    std::optional<std::vector<TLikelyCauseCode>> Cause;  // none: the verdict is OK
};

void PrintTo(const CauseCase& c, std::ostream* os) {
    *os << c.Name;
}

class LikelyCauseTest : public testing::TestWithParam<CauseCase> {
  protected:
    void TearDown() override { fs::remove(Path_); }

    fs::path WriteLog(const std::string& text) {
        std::ofstream(Path_, std::ios::binary) << text;
        return Path_;
    }

    fs::path Path_ =
        fs::temp_directory_path() / ("norva-likely-cause-" + std::to_string(::getpid()) + ".ktz");
};

// Read whole for the window, and read in pieces as norva-inspect reads: both must find the
// same, and only for a NOT VALID log search at all.
TEST_P(LikelyCauseTest, FindsExactlyTheChangeMade) {
    const fs::path path = WriteLog(GetParam().Change(SignedLog()));
    for (const bool keepsContent : {true, false}) {
        SCOPED_TRACE(keepsContent ? "whole text" : "in pieces");
        TRecordingView view;
        view.KeepsContent = keepsContent;
        TLogLoader loader(view);
        const size_t searches = LikelyCauseSearchCount();
        loader.LoadLogFile(path);
        if (!GetParam().Cause) {
            EXPECT_EQ(loader.Verdict(), TSignatureVerdict::Valid);
            EXPECT_EQ(loader.LikelyCause(), std::nullopt);
            EXPECT_EQ(LikelyCauseSearchCount(), searches);
            continue;
        }
        EXPECT_EQ(loader.Verdict(), TSignatureVerdict::NotValid);
        ASSERT_TRUE(loader.LikelyCause());
        EXPECT_TRUE(loader.LikelyCause()->Searched);
        EXPECT_EQ(LikelyCauseCodes(loader.LikelyCause()->Changes),
                  LikelyCauseCodes(*GetParam().Cause));
        EXPECT_EQ(LikelyCauseSearchCount(), searches + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    GeneratedLogs, LikelyCauseTest,
    testing::Values(
        CauseCase{"unchanged", [](const std::string& t) { return t; }, std::nullopt},
        CauseCase{"line_ends_converted",
                  [](const std::string& t) { return Wrapped(t, std::string::npos); }, std::nullopt},
        CauseCase{"bom", [](const std::string& t) { return Bom + t; }, std::vector{BomAdded}},
        CauseCase{"utf8", [](const std::string& t) { return Cp1252ToUtf8(t); },
                  std::vector{Utf8Reencoded}},
        CauseCase{"utf8_read_as_latin1", Iso8859ToUtf8, std::vector{Utf8Reencoded}},
        CauseCase{"wrapped_at_76", [](const std::string& t) { return Wrapped(t, 76); },
                  std::vector{LinesWrapped}},
        CauseCase{"trailing_blanks", WithTrailingBlanks, std::vector{TrailingBlanksAdded}},
        CauseCase{"note_appended",
                  [](const std::string& t) { return t + "Checked: J. Meyer\r\n\r\n-- \r\nsent"; },
                  std::vector{LinesAppended}},
        CauseCase{"second_copy_appended", [](const std::string& t) { return t + t; },
                  std::vector{LinesAppended}},
        CauseCase{"bom_and_utf8", [](const std::string& t) { return Bom + Cp1252ToUtf8(t); },
                  std::vector{BomAdded, Utf8Reencoded}},
        CauseCase{"bom_and_trailing_blanks",
                  [](const std::string& t) { return Bom + WithTrailingBlanks(t); },
                  std::vector{BomAdded, TrailingBlanksAdded}},
        CauseCase{"record_value_changed",
                  [](const std::string& t) { return Replaced(t, ";1003;", ";1013;"); },
                  std::vector<TLikelyCauseCode>{}},
        CauseCase{"licence_changed",
                  [](const std::string& t) { return Replaced(t, "41873", "41874"); },
                  std::vector<TLikelyCauseCode>{}},
        CauseCase{"signature_value_changed",
                  [](const std::string& t) {
                      std::string changed = t;
                      char& c = changed[changed.find("SIGNATURE: ") + 12];
                      c = static_cast<char>(c ^ 0x20);
                      return changed;
                  },
                  std::vector<TLikelyCauseCode>{}},
        CauseCase{
            "utf8_and_record_value_changed",
            [](const std::string& t) { return Cp1252ToUtf8(Replaced(t, ";1003;", ";1013;")); },
            std::vector<TLikelyCauseCode>{}}),
    [](const auto& info) { return std::string(info.param.Name); });

// Searching a larger log would sign it again for every change tried.
TEST(LikelyCause, LogsOverTheLimitAreNotSearched) {
    const std::string huge = "LICENSE: x\r\nSWVERSION: NG-FW 795\r\nSIGNATURE: y\r\n" +
                             std::string(MaxLikelyCauseBytes, 'z');
    const size_t searches = LikelyCauseSearchCount();
    EXPECT_EQ(FindLikelyCause(huge), TLikelyCause{});
    EXPECT_EQ(LikelyCauseSearchCount(), searches);
    EXPECT_EQ(LikelyCauseText(TLikelyCause{}),
              "No likely cause was looked for: the log is larger than 64 MiB.");
}

}  // namespace
