#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "crypto/Cipher.h"
#include "crypto/CryptCipher.h"
#include "crypto/CryptFmt.h"
#include "crypto/CryptHash.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VectorFile.h"

namespace {

using testsupport::FromHex;
using testsupport::ToHex;

constexpr std::string_view DevicePassword = "Vq3TwKe8RmZpa1YdhN6uGc0LsXjBf5oQ2iMtDn7E";
constexpr std::string_view FallbackSeed = "gH2wZk9PaQe4Rt+Ys7uNvB1cXm6LdJo0pCfEi3Ta";

const TFormatClass* Mime64() {
    return TFormat_MIME64::ClassRef();
}

TEST(TCipher, RepeatedSigningGivesTheSameSignature) {
    TCipher signer;
    signer.Setup("", "NRVG-8D 41873 / Bahnfunk Messdienst Nord");
    const std::string text = "03;20240514102231;U;1\r\nLICENSE: x\r\n12345";  // leaves a tail
    const std::string first = signer.SignText(text);
    EXPECT_EQ(signer.SignText(text), first);
    EXPECT_EQ(first.size(), 28u);
    EXPECT_EQ(first.back(), '=');
    EXPECT_EQ(signer.SignText(""), "2jmj7l5rSw0yVb/vlWAYkK/YBwk=");
    EXPECT_EQ(signer.EncryptText(""), "");
}

TEST(TCipher, EmptyPasswordAndSeedSelectTheBuiltInTexts) {
    const std::string text = "NORVA-G MEASUREMENT LOG\r\n";
    TCipher implicit;
    TCipher explicitTexts;
    implicit.Setup("", "");
    explicitTexts.Setup(std::string(DevicePassword), std::string(FallbackSeed));
    EXPECT_EQ(implicit.SeedText(), explicitTexts.SeedText());
    EXPECT_EQ(implicit.SeedText(), THash_SHA1::ClassRef()->HashText(FallbackSeed, Mime64()));
    EXPECT_EQ(implicit.SignText(text), explicitTexts.SignText(text));

    TCipher otherPassword;
    otherPassword.Setup("another password", "");
    EXPECT_NE(otherPassword.SignText(text), implicit.SignText(text));
}

TEST(TCipher, OneChangedByteChangesTheSignature) {
    const std::string licence = "NRVG-8D 41873 / Bahnfunk Messdienst Nord";
    const std::string text = "line one\r\nline two\r\n";
    TCipher signer;
    signer.Setup("", licence);
    const std::string signature = signer.SignText(text);
    std::string changedText = text;
    changedText[5] = 'O';
    EXPECT_NE(signer.SignText(changedText), signature);
    std::string changedLicence = licence;
    changedLicence.back() = 'e';
    signer.Setup("", changedLicence);
    EXPECT_NE(signer.SignText(text), signature);
}

// From 24 MiB of signed text on, its base64 form reaches 2^25 bytes, where hashing that form in
// one piece counts its bits with the signing devices' surplus: only a whole signature that
// large shows whether the base64 text is hashed at once and counted by their rule.
TEST(LargeSignature, HashesTheBase64TextInOnePiece) {
    for (const auto& v : testsupport::ReadVectors(NORVA_TEST_DATA, "large-signature.txt")) {
        const std::string licence = v.Text("licence");
        std::string text = "LICENSE: " + licence + "\r\n";
        const int lines = std::stoi(v.Text("lines"));
        char line[128];
        for (int i = 0; i < lines; ++i) {
            text.append(line, std::snprintf(line, sizeof line, v.Text("line").c_str(), i));
            text += "\r\n";
        }
        ASSERT_GE(TCipher::SignBufferSize(text.size()), std::size_t{1} << 25);
        TCipher signer;
        signer.Setup("", licence);
        EXPECT_EQ(signer.SignText(text), v.Text("signature"));
    }
}

// Prefixes share their whole blocks and three-byte groups; each must still end as a text of
// its own: a partial block in feedback from the block before it, its own MIME64 padding and
// bit count. The long text crosses the pieces the shared part is hashed in.
TEST(TCipher, SignPrefixesGivesTheSignatureOfEachPrefix) {
    std::string shortText;
    for (int i = 0; i < 70; ++i) {
        shortText += static_cast<char>('0' + i % 43);
    }
    const std::string longText(TCipher::SignPieceSize * 2 + 5, 'x');
    const std::size_t piece = TCipher::SignPieceSize;
    struct Case {
        const std::string& Text;
        std::vector<std::size_t> Lengths;
    };
    std::vector<std::size_t> every(shortText.size() + 1);
    for (std::size_t i = 0; i < every.size(); ++i) {
        every[i] = i;
    }
    const Case cases[] = {
        {shortText, every},
        {shortText, {47, 47, 70}},
        {longText, {1, piece - 1, piece + 2, piece + 3, 2 * piece + 5}},
        {longText, {}},
    };
    for (const Case& c : cases) {
        TCipher signer;
        signer.Setup("", "NRVG-8D 41873 / Bahnfunk Messdienst Nord");
        const std::vector<std::string> signatures = signer.SignPrefixes(c.Text, c.Lengths);
        ASSERT_EQ(signatures.size(), c.Lengths.size());
        for (std::size_t i = 0; i < c.Lengths.size(); ++i) {
            EXPECT_EQ(signatures[i], signer.SignText(c.Text.substr(0, c.Lengths[i])))
                << "prefix of " << c.Lengths[i] << " bytes";
        }
    }
    // A text another cipher finished signing meanwhile, under another key, is no shortcut.
    TCipher other;
    other.Setup("", "another licence");
    other.BeginSignText();
    other.SignPiece(shortText);
    TCipher signer;
    signer.Setup("", "x");
    const std::string beginning = signer.SignText(shortText.substr(0, 48));
    other.EndSignText();
    EXPECT_EQ(signer.SignPrefixes(shortText, {48}), std::vector<std::string>{beginning});
    EXPECT_THROW(signer.SignPrefixes(shortText, {5, 4}), std::invalid_argument);
    EXPECT_THROW(signer.SignPrefixes(shortText, {71}), std::invalid_argument);
}

TEST(TCipher, SigningWithoutSetupIsRefused) {
    TCipher signer;
    EXPECT_THROW(signer.SignText("text"), ECryptException);
}

// The samples, with the signed text formed the simple way: every line but the signature
// line, each followed by CR LF.
struct SampleLog {
    std::string Licence;
    std::string Signature;
    std::string SignedText;
};

SampleLog ReadSample(const std::filesystem::path& path) {
    const std::string contents = testsupport::ReadFile(path.string());
    SampleLog log;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = contents.size();
        }
        const std::string line = contents.substr(start, end - start);
        if (line.rfind("SIGNATURE:", 0) == 0) {
            log.Signature = line.size() > 11 ? line.substr(11) : "";
        } else {
            if (line.rfind("LICENSE:", 0) == 0) {
                log.Licence = line.size() > 9 ? line.substr(9) : "";
            }
            log.SignedText += line + "\r\n";
        }
        start = end;
        if (start < contents.size() && contents[start] == '\r') {
            ++start;
        }
        if (start < contents.size() && contents[start] == '\n') {
            ++start;
        }
    }
    return log;
}

std::string JsonField(const std::string& json, const std::string& key) {
    const std::regex pattern("\"" + key + "\": *(null|\"([^\"]*)\")");
    std::smatch match;
    if (!std::regex_search(json, match, pattern)) {
        throw std::runtime_error("no " + key + " in expected answer");
    }
    return match[1] == "null" ? "null" : match[2].str();
}

TEST(Samples, GiveTheirExpectedSignatures) {
    const std::filesystem::path samples(NORVA_SAMPLES);
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        if (entry.path().extension() != ".ktz") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        const std::string expected = testsupport::ReadFile(
            (samples / "expected" / entry.path().filename().replace_extension(".json")).string());
        const SampleLog log = ReadSample(entry.path());
        EXPECT_EQ(log.Licence, JsonField(expected, "license"));
        EXPECT_EQ(log.Signature, JsonField(expected, "signature"));

        TCipher signer;
        signer.Setup("", log.Licence);
        const std::string computed = signer.SignText(log.SignedText);
        const std::string verdict = JsonField(expected, "verdict");
        if (verdict == "The signature is OK") {
            EXPECT_EQ(computed, log.Signature);
        } else if (verdict == "The signature is NOT VALID") {
            EXPECT_NE(computed, log.Signature);
        } else if (verdict == "The file could not be interpreted") {
            EXPECT_TRUE(log.Signature.empty() || log.Licence.empty());
        } else {
            // Firmware too old for a verdict: its signature is still made the same way.
            EXPECT_EQ(verdict, "null");
            EXPECT_EQ(computed, log.Signature);
        }
        ++checked;
    }
    EXPECT_EQ(checked, 5);
}

}  // namespace
