#include "crypto/Sha256.h"

#include <algorithm>
#include <cstring>

#include "crypto/CpuFeatures.h"

namespace {

constexpr std::array<std::uint32_t, 8> InitialState{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

void CompressPortable(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) {
    for (; count > 0; --count, blocks += 64) {
        std::uint32_t w[64];
        for (int t = 0; t < 16; ++t) {
            w[t] = BigEndian32(blocks + 4 * t);
        }
        for (int t = 16; t < 64; ++t) {
            const std::uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const std::uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) +
                                     ((e & f) ^ (~e & g)) + Sha256Detail::RoundConstants[t] + w[t];
            const std::uint32_t t2 =
                (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

}  // namespace

TSha256::TSha256(TPath path)
    : State_(InitialState),
      Instructions_(path == TPath::Fastest && NORVA_CRYPT_ACCEL && CpuFeatures::Processor().Sha) {}

void TSha256::Compress(const std::uint8_t* blocks, std::size_t count) {
#if NORVA_CRYPT_ACCEL
    if (Instructions_) {
        CryptAccel::Sha256CompressShaNi(State_.data(), blocks, count);
        return;
    }
#endif
    CompressPortable(State_.data(), blocks, count);
}

void TSha256::Add(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t size = bytes.size();
    Length_ += size;
    if (Held_ > 0) {
        const std::size_t taken = std::min(size, Block_.size() - Held_);
        std::memcpy(Block_.data() + Held_, data, taken);
        Held_ += taken;
        data += taken;
        size -= taken;
        if (Held_ < Block_.size()) {
            return;
        }
        Compress(Block_.data(), 1);
        Held_ = 0;
    }
    if (size >= 64) {
        Compress(data, size / 64);
        data += size / 64 * 64;
        size %= 64;
    }
    if (size > 0) {
        std::memcpy(Block_.data(), data, size);
        Held_ = size;
    }
}

std::array<std::uint8_t, 32> TSha256::Finish() {
    const std::uint64_t bits = Length_ * 8;
    Block_[Held_++] = 0x80;
    if (Held_ > 56) {
        std::fill(Block_.begin() + static_cast<std::ptrdiff_t>(Held_), Block_.end(), 0);
        Compress(Block_.data(), 1);
        Held_ = 0;
    }
    std::fill(Block_.begin() + static_cast<std::ptrdiff_t>(Held_), Block_.begin() + 56, 0);
    for (int i = 0; i < 8; ++i) {
        Block_[56 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    }
    Compress(Block_.data(), 1);
    Held_ = 0;
    std::array<std::uint8_t, 32> digest{};
    for (std::size_t i = 0; i < 8; ++i) {
        for (std::size_t k = 0; k < 4; ++k) {
            digest[4 * i + k] = static_cast<std::uint8_t>(State_[i] >> (24 - 8 * k));
        }
    }
    return digest;
}

std::string TSha256::FinishHex() {
    static constexpr char Digits[] = "0123456789abcdef";
    const std::array<std::uint8_t, 32> digest = Finish();
    std::string text(2 * digest.size(), '\0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        text[2 * i] = Digits[digest[i] >> 4];
        text[2 * i + 1] = Digits[digest[i] & 0xF];
    }
    return text;
}
