#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "crypto/CryptFmt.h"
#include "tests/support/OpenSslReference.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VectorFile.h"

namespace {

using testsupport::FromHex;
using testsupport::ToHex;

const TFormatClass* FormatByShortName(const std::string& name) {
    for (const TFormatClass* format :
         {TFormat_Copy::ClassRef(), TFormat_HEX::ClassRef(), TFormat_MIME64::ClassRef()}) {
        if (ShortClassName(format) == name) {
            return format;
        }
    }
    throw std::runtime_error("unknown format " + name);
}

TEST(Rfc4648, EncodesAndDecodesTheExamples) {
    for (const auto& v : testsupport::ReadVectors(NORVA_TEST_DATA, "rfc4648.txt")) {
        SCOPED_TRACE(v.Source);
        const std::string& bytes = v.Text("bytes");
        EXPECT_EQ(TFormat_MIME64::ClassRef()->Encode(bytes), v.Text("base64"));
        EXPECT_EQ(TFormat_MIME64::ClassRef()->Decode(v.Text("base64")), bytes);
        EXPECT_EQ(TFormat_HEX::ClassRef()->Encode(bytes), v.Text("base16"));
        EXPECT_EQ(TFormat_HEX::ClassRef()->Decode(v.Text("base16")), bytes);
        EXPECT_EQ(TFormat_Copy::ClassRef()->Encode(bytes), bytes);
        EXPECT_EQ(TFormat_Copy::ClassRef()->Decode(bytes), bytes);
    }
}

TEST(FormatRules, DecodeAndAcceptAsTabled) {
    for (const auto& v : testsupport::ReadVectors(NORVA_TEST_DATA, "format-rules.txt")) {
        SCOPED_TRACE(v.Source);
        const TFormatClass* format = FormatByShortName(v.Text("format"));
        const std::string text = v.Has("text") ? v.Text("text") : v.Bytes("text-hex");
        if (v.Has("error")) {
            try {
                format->Decode(text);
                ADD_FAILURE() << "no exception";
            } catch (const ECryptException& e) {
                EXPECT_EQ(e.what(), v.Text("error"));
            }
        } else {
            EXPECT_EQ(ToHex(format->Decode(text)), v.Text("bytes"));
        }
        EXPECT_EQ(format->AcceptsText(text), v.Text("accepts") == "true");
    }
}

TEST(Hex, EncodesEveryByteWithUpperCaseDigits) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    std::string expected = ToHex(all);
    std::transform(expected.begin(), expected.end(), expected.begin(),
                   [](char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_EQ(TFormat_HEX::ClassRef()->Encode(all), expected);
    EXPECT_EQ(TFormat_HEX::ClassRef()->Decode(expected), all);
}

TEST(Mime64, MatchesOpenSslAndDecodesBackForLengthsUpTo300) {
    std::mt19937 random(4648);
    for (std::size_t length = 0; length <= 300; ++length) {
        const std::string bytes = testsupport::RandomBytes(random, length);
        const std::string text = TFormat_MIME64::ClassRef()->Encode(bytes);
        ASSERT_EQ(text, testsupport::ref::Base64(bytes)) << "length " << length;
        ASSERT_EQ(TFormat_MIME64::ClassRef()->Decode(text), bytes) << "length " << length;
    }
}

TEST(Mime64, DecodesTextBrokenIntoLinesLikeTheUnbrokenText) {
    std::mt19937 random(76);
    const std::string bytes = testsupport::RandomBytes(random, 200);
    const std::string text = TFormat_MIME64::ClassRef()->Encode(bytes);
    std::string broken;
    for (std::size_t i = 0; i < text.size(); i += 76) {
        broken += text.substr(i, 76) + "\r\n";
    }
    EXPECT_EQ(TFormat_MIME64::ClassRef()->Decode(broken), bytes);
    EXPECT_TRUE(TFormat_MIME64::ClassRef()->AcceptsText(broken));
}

TEST(FormatClassOrDefault, NoClassMeansCopy) {
    EXPECT_EQ(FormatClassOrDefault(nullptr), TFormat_Copy::ClassRef());
    EXPECT_EQ(FormatClassOrDefault(TFormat_HEX::ClassRef()), TFormat_HEX::ClassRef());
    EXPECT_EQ(FormatClassOrDefault(nullptr)->EncodeBuffer("\x01\x02", 2), "\x01\x02");
}

}  // namespace
