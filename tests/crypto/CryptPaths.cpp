#include "tests/crypto/CryptPaths.h"

#include <algorithm>
#include <iterator>

namespace testsupport {

using CryptAccel::AesPath;
using CryptAccel::Sha1Path;

std::vector<CryptPath> EveryCryptPath() {
    return {{"Portable", AesPath::Portable, Sha1Path::Portable},
            {"AesNi", AesPath::AesNi, Sha1Path::Portable},
            {"Ssse3", AesPath::Portable, Sha1Path::Ssse3},
            {"Avx2", AesPath::Portable, Sha1Path::Avx2},
            {"ShaNi", AesPath::Portable, Sha1Path::ShaNi}};
}

std::vector<CryptPath> AesPaths() {
    std::vector<CryptPath> paths;
    const std::vector<CryptPath> every = EveryCryptPath();
    std::copy_if(every.begin(), every.end(), std::back_inserter(paths),
                 [](const CryptPath& path) { return path.Sha1 == Sha1Path::Portable; });
    return paths;
}

std::vector<CryptPath> Sha1Paths() {
    std::vector<CryptPath> paths;
    const std::vector<CryptPath> every = EveryCryptPath();
    std::copy_if(every.begin(), every.end(), std::back_inserter(paths),
                 [](const CryptPath& path) { return path.Aes == AesPath::Portable; });
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
    if (!CryptAccel::Offered(path.Aes) || !CryptAccel::Offered(path.Sha1)) {
        GTEST_SKIP() << "this processor cannot run the " << path.Name << " path";
    }
    CryptAccel::LimitAesPath(path.Aes);
    CryptAccel::LimitSha1Path(path.Sha1);
    ASSERT_EQ(CryptAccel::ActiveAesPath(), path.Aes);
    ASSERT_EQ(CryptAccel::ActiveSha1Path(), path.Sha1);
}

void OnCryptPath::TearDown() {
    CryptAccel::LimitAesPath(AesPath::AesNi);
    CryptAccel::LimitSha1Path(Sha1Path::ShaNi);
}

}  // namespace testsupport
