#include "crypto/CryptData.h"

#include <bit>

namespace RijndaelData {
namespace {

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    while (b != 0) {
        if (b & 1) {
            product ^= a;
        }
        a = static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00));
        b >>= 1;
    }
    return product;
}

constexpr std::uint8_t Inverse(std::uint8_t a) {
    if (a == 0) {
        return 0;
    }
    // a^254 is the multiplicative inverse in GF(2^8).
    std::uint8_t result = 1;
    std::uint8_t power = a;
    for (int exponent = 254; exponent != 0; exponent >>= 1) {
        if (exponent & 1) {
            result = Multiply(result, power);
        }
        power = Multiply(power, power);
    }
    return result;
}

constexpr std::uint8_t Rotl8(std::uint8_t x, int n) {
    return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr std::array<std::uint8_t, 512> MakeSBoxes() {
    std::array<std::uint8_t, 512> boxes{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t b = Inverse(static_cast<std::uint8_t>(x));
        const auto s = static_cast<std::uint8_t>(b ^ Rotl8(b, 1) ^ Rotl8(b, 2) ^ Rotl8(b, 3) ^
                                                 Rotl8(b, 4) ^ 0x63);
        boxes[x] = s;
        boxes[256 + s] = static_cast<std::uint8_t>(x);
    }
    return boxes;
}

constexpr std::uint32_t Column(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return std::uint32_t{b0} | (std::uint32_t{b1} << 8) | (std::uint32_t{b2} << 16) |
           (std::uint32_t{b3} << 24);
}

constexpr std::array<TWordTable, 4> RotatedTables(const TWordTable& table0) {
    std::array<TWordTable, 4> tables{};
    for (int x = 0; x < 256; ++x) {
        for (int t = 0; t < 4; ++t) {
            tables[t][x] = std::rotl(table0[x], 8 * t);
        }
    }
    return tables;
}

constexpr std::array<TWordTable, 4> MakeEncryptTables(const std::array<std::uint8_t, 512>& boxes) {
    TWordTable table0{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = boxes[x];
        table0[x] = Column(Multiply(s, 2), s, s, Multiply(s, 3));
    }
    return RotatedTables(table0);
}

constexpr std::array<TWordTable, 4> MakeDecryptTables(const std::array<std::uint8_t, 512>& boxes) {
    TWordTable table0{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = boxes[256 + x];
        table0[x] = Column(Multiply(s, 14), Multiply(s, 9), Multiply(s, 13), Multiply(s, 11));
    }
    return RotatedTables(table0);
}

constexpr std::array<std::uint32_t, 10> MakeRoundConstants() {
    std::array<std::uint32_t, 10> constants{};
    std::uint8_t value = 1;
    for (auto& constant : constants) {
        constant = value;
        value = Multiply(value, 2);
    }
    return constants;
}

constexpr std::array<std::uint8_t, 512> ComputedSBoxes = MakeSBoxes();

}  // namespace

// Built at compile time, so the tables are constant data without start-up code.
constinit const std::array<std::uint8_t, 512> SBoxes = ComputedSBoxes;
constinit const std::array<TWordTable, 4> EncryptTables = MakeEncryptTables(ComputedSBoxes);
constinit const std::array<TWordTable, 4> DecryptTables = MakeDecryptTables(ComputedSBoxes);
constinit const std::array<std::uint32_t, 10> RoundConstants = MakeRoundConstants();

static_assert(ComputedSBoxes[0x00] == 0x63 && ComputedSBoxes[0x53] == 0xED &&
              ComputedSBoxes[0xFF] == 0x16);

}  // namespace RijndaelData
