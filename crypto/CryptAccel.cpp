#include "crypto/CryptAccel.h"

#include <atomic>

namespace CryptAccel {
namespace {

std::atomic<AesPath> AesCeiling{AesPath::AesNi};
std::atomic<Sha1Path> Sha1Ceiling{Sha1Path::ShaNi};
std::atomic<Base64Path> Base64Ceiling{Base64Path::Avx2};

}  // namespace

bool Offered(AesPath path) {
    return path == AesPath::Portable || CpuFeatures::Processor().Aes;
}

bool Offered(Sha1Path path) {
    const CpuFeatures::TFeatures& features = CpuFeatures::Processor();
    switch (path) {
        case Sha1Path::ShaNi:
            return features.Sha;
        case Sha1Path::Avx2:
            return features.Avx2;
        case Sha1Path::Ssse3:
            return features.Ssse3;
        case Sha1Path::Portable:
            break;
    }
    return true;
}

bool Offered(Base64Path path) {
    const CpuFeatures::TFeatures& features = CpuFeatures::Processor();
    switch (path) {
        case Base64Path::Avx2:
            return features.Avx2;
        case Base64Path::Ssse3:
            return features.Ssse3;
        case Base64Path::Portable:
            break;
    }
    return true;
}

void LimitAesPath(AesPath ceiling) {
    AesCeiling.store(ceiling, std::memory_order_relaxed);
}

void LimitSha1Path(Sha1Path ceiling) {
    Sha1Ceiling.store(ceiling, std::memory_order_relaxed);
}

void LimitBase64Path(Base64Path ceiling) {
    Base64Ceiling.store(ceiling, std::memory_order_relaxed);
}

AesPath ActiveAesPath() {
    const AesPath ceiling = AesCeiling.load(std::memory_order_relaxed);
    return ceiling == AesPath::AesNi && Offered(AesPath::AesNi) ? AesPath::AesNi
                                                                : AesPath::Portable;
}

Sha1Path ActiveSha1Path() {
    // The best path offered within the cap; a processor with the SHA instructions but without
    // AVX2 still has SSSE3 below them.
    switch (Sha1Ceiling.load(std::memory_order_relaxed)) {
        case Sha1Path::ShaNi:
            if (Offered(Sha1Path::ShaNi)) {
                return Sha1Path::ShaNi;
            }
            [[fallthrough]];
        case Sha1Path::Avx2:
            if (Offered(Sha1Path::Avx2)) {
                return Sha1Path::Avx2;
            }
            [[fallthrough]];
        case Sha1Path::Ssse3:
            if (Offered(Sha1Path::Ssse3)) {
                return Sha1Path::Ssse3;
            }
            [[fallthrough]];
        case Sha1Path::Portable:
            break;
    }
    return Sha1Path::Portable;
}

Base64Path ActiveBase64Path() {
    switch (Base64Ceiling.load(std::memory_order_relaxed)) {
        case Base64Path::Avx2:
            if (Offered(Base64Path::Avx2)) {
                return Base64Path::Avx2;
            }
            [[fallthrough]];
        case Base64Path::Ssse3:
            if (Offered(Base64Path::Ssse3)) {
                return Base64Path::Ssse3;
            }
            [[fallthrough]];
        case Base64Path::Portable:
            break;
    }
    return Base64Path::Portable;
}

}  // namespace CryptAccel
