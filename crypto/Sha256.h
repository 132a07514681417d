#pragma once
// SHA-256 of a stream of bytes, for naming a file's contents (not part of the log signature).
// Uses the SHA instructions where the processor has them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TSha256 {
  public:
    // Portable: never the SHA instructions (tests compare both ways).
    enum class TPath { Fastest, Portable };

    explicit TSha256(TPath path = TPath::Fastest);

    void Add(std::string_view bytes);
    // The digest of everything added; the object is spent afterwards.
    std::array<std::uint8_t, 32> Finish();
    // The digest as 64 lower-case hexadecimal digits.
    std::string FinishHex();

  private:
    void Compress(const std::uint8_t* blocks, std::size_t count);

    std::array<std::uint32_t, 8> State_;
    std::array<std::uint8_t, 64> Block_{};
    std::size_t Held_ = 0;  // bytes waiting in Block_
    std::uint64_t Length_ = 0;
    bool Instructions_;
};

namespace CryptAccel {
// AccelSha256ShaNi.cpp: `count` 64-byte blocks into the eight chaining words.
void Sha256CompressShaNi(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count);
}  // namespace CryptAccel
