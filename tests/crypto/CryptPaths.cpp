#include "tests/crypto/CryptPaths.h"

#include <algorithm>
#include <iterator>

namespace testsupport {

using CryptAccel::AesPath;
using CryptAccel::Base64Path;
using CryptAccel::Sha1Path;

std::vector<CryptPath> EveryCryptPath() {
    return {{"Portable", AesPath::Portable, Sha1Path::Portable, Base64Path::Portable},
            {"AesNi", AesPath::AesNi, Sha1Path::Portable, Base64Path::Portable},
            {"Ssse3", AesPath::Portable, Sha1Path::Ssse3, Base64Path::Portable},
            {"Avx2", AesPath::Portable, Sha1Path::Avx2, Base64Path::Portable},
            {"ShaNi", AesPath::Portable, Sha1Path::ShaNi, Base64Path::Portable},
            {"Base64Ssse3", AesPath::Portable, Sha1Path::Portable, Base64Path::Ssse3},
            {"Base64Avx2", AesPath::Portable, Sha1Path::Portable, Base64Path::Avx2}};
}

std::vector<CryptPath> AesPaths() {
    std::vector<CryptPath> paths;
    const std::vector<CryptPath> every = EveryCryptPath();
    std::copy_if(every.begin(), every.end(), std::back_inserter(paths), [](const CryptPath& path) {
        return path.Sha1 == Sha1Path::Portable && path.Base64 == Base64Path::Portable;
    });
    return paths;
}

std::vector<CryptPath> Sha1Paths() {
    std::vector<CryptPath> paths;
    const std::vector<CryptPath> every = EveryCryptPath();
    std::copy_if(every.begin(), every.end(), std::back_inserter(paths), [](const CryptPath& path) {
        return path.Aes == AesPath::Portable && path.Base64 == Base64Path::Portable;
    });
    return paths;
}

std::string CryptPathName(const testing::TestParamInfo<CryptPath>& info) {
    return info.param.Name;
}

void PrintTo(const CryptPath& path, std::ostream* out) {
    *out << path.Name;
}

void OnCryptPath::SetUp() {
    const CryptPath& path = GetParam();
    if (!CryptAccel::Offered(path.Aes) || !CryptAccel::Offered(path.Sha1) ||
        !CryptAccel::Offered(path.Base64)) {
        GTEST_SKIP() << "this processor cannot run the " << path.Name << " path";
    }
    CryptAccel::LimitAesPath(path.Aes);
    CryptAccel::LimitSha1Path(path.Sha1);
    CryptAccel::LimitBase64Path(path.Base64);
    ASSERT_EQ(CryptAccel::ActiveAesPath(), path.Aes);
    ASSERT_EQ(CryptAccel::ActiveSha1Path(), path.Sha1);
    ASSERT_EQ(CryptAccel::ActiveBase64Path(), path.Base64);
}

void OnCryptPath::TearDown() {
    CryptAccel::LimitAesPath(AesPath::AesNi);
    CryptAccel::LimitSha1Path(Sha1Path::ShaNi);
    CryptAccel::LimitBase64Path(Base64Path::Avx2);
}

}  // namespace testsupport
