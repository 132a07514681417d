#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/LogFile.h"
#include "app/LogLoader.h"
#include "tests/app/RecordingView.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

struct VerdictCase {
    const char* file;
    std::string text;
    std::string color;  // as "#rrggbb"
};

void PrintTo(const VerdictCase& c, std::ostream* os) {
    *os << c.file;
}

class SampleVerdictTest : public testing::TestWithParam<VerdictCase> {};

TEST_P(SampleVerdictTest, ShowsColourThenText) {
    TRecordingView view;
    TLogLoader loader(view);
    loader.LoadLogFile(fs::path(NORVA_SAMPLES) / GetParam().file);
    const auto verdictCalls = [&] {
        std::vector<std::string> calls;
        for (const std::string& call : view.Calls) {
            if (call.starts_with("color #") ||
                (call.starts_with("check ") && call != "check ...")) {
                calls.push_back(call);
            }
        }
        return calls;
    }();
    EXPECT_EQ(verdictCalls,
              (std::vector<std::string>{"color " + GetParam().color, "check " + GetParam().text}));
    EXPECT_EQ(view.CheckResult, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SampleVerdictTest,
    testing::Values(VerdictCase{"demo-gsmr.ktz", "The signature is OK", "#d0ffd0"},
                    VerdictCase{"rotated-22deg.ktz", "The signature is OK", "#d0ffd0"},
                    VerdictCase{"tampered.ktz", "The signature is NOT VALID", "#ffd0d0"},
                    VerdictCase{"unsigned.ktz", "The file could not be interpreted", "#ffffd0"}),
    [](const auto& info) {
        std::string name = info.param.file;
        return name.substr(0, name.find_first_of(".-"));
    });

std::vector<std::string> DemoLines() {
    return SplitLogLines(
        testsupport::ReadFile(testsupport::TestDataPath(NORVA_SAMPLES, "demo-gsmr.ktz")));
}

TSignatureVerdict Judge(const std::string& text) {
    TLogState state;
    ScanLogHeader(text, state);
    return JudgeSignature(text, state.LicenseText, state.SignatureText);
}

// The lines as a file with CR LF line ends.
TSignatureVerdict Judge(const std::vector<std::string>& fileLines) {
    std::string text;
    for (const std::string& line : fileLines) {
        text += line + "\r\n";
    }
    return Judge(text);
}

}  // namespace

TEST(JudgeSignatureTest, ComparesTheValueByteForByte) {
    const std::vector<std::string> demo = DemoLines();
    ASSERT_EQ(Judge(demo), TSignatureVerdict::Valid);

    std::vector<std::string> lines = demo;
    lines.back() += " ";  // a trailing blank is part of the value
    EXPECT_EQ(Judge(lines), TSignatureVerdict::NotValid);

    lines = demo;
    std::string& signature = lines.back();
    const size_t letter = signature.find_first_of("abcdefghijklmnopqrstuvwxyz", 11);
    ASSERT_NE(letter, std::string::npos);
    signature[letter] = static_cast<char>(signature[letter] - 'a' + 'A');
    EXPECT_EQ(Judge(lines), TSignatureVerdict::NotValid);
}

TEST(JudgeSignatureTest, SignedTextIsEveryOtherLine) {
    const std::vector<std::string> demo = DemoLines();
    std::vector<std::string> moved = demo;
    moved.insert(moved.begin() + 3, moved.back());
    moved.pop_back();
    EXPECT_EQ(Judge(moved), TSignatureVerdict::Valid);

    std::string lfOnly;
    for (const std::string& line : demo) {
        lfOnly += line + "\n";
    }
    lfOnly.pop_back();
    EXPECT_EQ(Judge(lfOnly), TSignatureVerdict::Valid);

    std::vector<std::string> extraLine = demo;
    extraLine.insert(extraLine.begin() + 17, "");
    EXPECT_EQ(Judge(extraLine), TSignatureVerdict::NotValid);

    std::vector<std::string> changed = demo;
    changed[3].back() ^= 1;
    EXPECT_EQ(Judge(changed), TSignatureVerdict::NotValid);

    std::vector<std::string> noLicense = demo;
    noLicense[1] = "LICENSE:";
    EXPECT_EQ(Judge(noLicense), TSignatureVerdict::NotInterpretable);
}
