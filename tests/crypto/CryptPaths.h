#pragma once
// The paths of the cryptography as a table for value-parameterised tests: each path is a test
// case of its own, run on that path, and skipped where the processor lacks its instructions.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "crypto/CryptAccel.h"

namespace testsupport {

struct CryptPath {
    const char* Name;
    CryptAccel::AesPath Aes;
    CryptAccel::Sha1Path Sha1;
    CryptAccel::Base64Path Base64;
};

// The portable code, and each instruction set with the other algorithm on the portable code.
std::vector<CryptPath> EveryCryptPath();
// The paths that differ in how they compute Rijndael, or SHA-1.
std::vector<CryptPath> AesPaths();
std::vector<CryptPath> Sha1Paths();

std::string CryptPathName(const testing::TestParamInfo<CryptPath>& info);
void PrintTo(const CryptPath& path, std::ostream* out);

// Forces the parameter's path for the test and frees the choice again afterwards.
class OnCryptPath : public testing::TestWithParam<CryptPath> {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace testsupport
