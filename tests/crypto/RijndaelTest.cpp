#include <gtest/gtest.h>

#include "crypto/CryptCipher.h"
#include "tests/support/OpenSslReference.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VectorFile.h"

namespace {

using testsupport::ToHex;

std::string EncodeBlock(TCipher_Rijndael& cipher, const std::string& block) {
    std::string out(16, '\0');
    cipher.EncodeBlock(block.data(), out.data(), 16);
    return out;
}

std::string DecodeBlock(TCipher_Rijndael& cipher, const std::string& block) {
    std::string out(16, '\0');
    cipher.DecodeBlock(block.data(), out.data(), 16);
    return out;
}

TEST(Rijndael, NewKeyReplacesTheWholeSchedule) {
    TCipher_Rijndael cipher;
    const std::string block(16, '\x42');
    cipher.Init(std::string(32, '\x11'), "", 0);
    cipher.Init(std::string(16, '\x22'), "", 0);
    TCipher_Rijndael fresh;
    fresh.Init(std::string(16, '\x22'), "", 0);
    EXPECT_EQ(EncodeBlock(cipher, block), EncodeBlock(fresh, block));
    EXPECT_EQ(DecodeBlock(cipher, block), DecodeBlock(fresh, block));
}

}  // namespace
