#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/Errors.h"
#include "app/LogFile.h"
#include "app/LogLoader.h"
#include "app/SignatureVerdict.h"
#include "crypto/Cipher.h"
#include "tests/app/RecordingView.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

// A file that another program changes between the loader's two reads of it: while armed,
// the first read of the log from its start sees one byte changed, the second the file as it
// is. The loader's reads in this test program come through here.
namespace {
std::atomic<bool> ChangingReadArmed{false};
std::atomic<int> ReadsFromStart{0};
off_t ChangedByte = 0;
}  // namespace

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    const auto got = static_cast<ssize_t>(::syscall(SYS_pread64, fd, buffer, count, offset));
    if (ChangingReadArmed && offset == 0) {
        ++ReadsFromStart;
    }
    if (ChangingReadArmed && ReadsFromStart == 1 && got > 0 && offset <= ChangedByte &&
        ChangedByte < offset + got) {
        static_cast<char*>(buffer)[ChangedByte - offset] ^= 1;
    }
    return got;
}

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

// Also for a view without the text, whose file is signed while it is read in pieces.
TEST_P(SampleVerdictTest, ShowsColourThenText) {
    for (const bool keepsContent : {true, false}) {
        SCOPED_TRACE(keepsContent ? "whole text" : "in pieces");
        TRecordingView view;
        view.KeepsContent = keepsContent;
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
        EXPECT_EQ(verdictCalls, (std::vector<std::string>{"color " + GetParam().color,
                                                          "check " + GetParam().text}));
        EXPECT_EQ(view.CheckResult, GetParam().text);
    }
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

// The verdict of a file read in pieces into a buffer of `bufferSize` bytes and signed while
// its header is scanned, signed again when that was not enough.
TSignatureVerdict JudgeInRuns(const std::string& text, std::size_t bufferSize) {
    const fs::path path =
        fs::temp_directory_path() / ("norva-verdict-runs-" + std::to_string(::getpid()) + ".ktz");
    std::ofstream(path, std::ios::binary) << text;
    TLogTextRuns runs(path, bufferSize);
    TLogState state;
    TLogHeaderScan scan(state);
    TRunningSignature signing;
    const auto sign = [&](std::string_view piece) { signing.Add(piece, state.LicenseText); };
    runs.ForEachRun([&](std::string_view run) { ScanAndSignRun(run, scan, sign); });
    std::optional<TSignatureVerdict> verdict =
        signing.Judge(state.LicenseText, state.SignatureText);
    if (!verdict) {
        verdict = JudgeSignature(
            [&runs](const auto& piece) {
                runs.ForEachRun([&piece](std::string_view run) { ForEachSignedPiece(run, piece); });
            },
            state.LicenseText, state.SignatureText);
    }
    fs::remove(path);
    return *verdict;
}

// The verdict of the whole text, which every way of reading it in pieces must give too.
TSignatureVerdict Judge(const std::string& text) {
    TLogState state;
    ScanLogHeader(text, state);
    const TSignatureVerdict verdict = JudgeSignature(text, state.LicenseText, state.SignatureText);
    for (const std::size_t bufferSize :
         {std::size_t{1}, std::size_t{7}, std::size_t{100}, TLogTextRuns::DefaultBufferSize}) {
        EXPECT_EQ(JudgeInRuns(text, bufferSize), verdict) << "buffer of " << bufferSize;
    }
    return verdict;
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

// A licence value that comes late, or changes late, is the one the text is signed with: the
// signing on the way waits for it, or is done again.
TEST(JudgeSignatureTest, LicenceValueAnywhereInTheFile) {
    const std::vector<std::string> demo = DemoLines();
    ASSERT_TRUE(demo[1].starts_with("LICENSE:"));
    const std::string license = demo[1].substr(9);
    // The lines signed anew with the demo's licence value, the signature line last.
    const auto signedFile = [&license](std::vector<std::string> lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        TCipher signer;
        signer.Setup("", license);
        return text + "SIGNATURE: " + signer.SignText(text) + "\r\n";
    };
    std::vector<std::string> lines(demo.begin(), demo.end() - 1);
    ASSERT_EQ(Judge(signedFile(lines)), TSignatureVerdict::Valid);

    std::vector<std::string> late = lines;
    late.erase(late.begin() + 1);
    late.push_back(demo[1]);
    EXPECT_EQ(Judge(signedFile(late)), TSignatureVerdict::Valid);

    std::vector<std::string> changed = lines;
    changed.insert(changed.begin() + 1, "LICENSE: an earlier value");
    EXPECT_EQ(Judge(signedFile(changed)), TSignatureVerdict::Valid);

    // More text before the licence line than waits in memory. Signed as norva-inspect signs,
    // with the hash on a thread of its own: the text is long enough to pass through the
    // thread's ring of buffers many times over.
    AllowSignatureHashThread(true);
    std::vector<std::string> far = lines;
    far.erase(far.begin() + 1);
    const std::string filler(1000, 'x');
    for (std::size_t i = 0; i * filler.size() <= 2 * TRunningSignature::MaxWaitingBytes; ++i) {
        far.insert(far.begin() + 1, filler);
    }
    far.push_back(demo[1]);
    const std::string farText = signedFile(far);
    EXPECT_EQ(JudgeInRuns(farText, TLogTextRuns::DefaultBufferSize), TSignatureVerdict::Valid);
    std::string tampered = farText;
    tampered[farText.size() / 2] ^= 1;
    EXPECT_EQ(JudgeInRuns(tampered, TLogTextRuns::DefaultBufferSize), TSignatureVerdict::NotValid);
    AllowSignatureHashThread(false);

    // Read twice, a file that changed in between is not judged: the records shown would not
    // be those that were signed.
    const fs::path path = fs::temp_directory_path() /
                          ("norva-verdict-changing-" + std::to_string(::getpid()) + ".ktz");
    std::ofstream(path, std::ios::binary) << farText;
    ChangedByte = static_cast<off_t>(farText.find("\r\n03;") + 12);
    TRecordingView view;
    view.KeepsContent = false;
    TLogLoader loader(view);
    ChangingReadArmed = true;
    EXPECT_THROW(loader.LoadLogFile(path), EFOpenError);
    ChangingReadArmed = false;
    EXPECT_EQ(ReadsFromStart, 2);
    EXPECT_EQ(view.CheckResult, "...");
    fs::remove(path);
}
