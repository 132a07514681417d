#pragma once
// Constant tables of the Rijndael cipher.

#include <array>
#include <cstdint>

namespace RijndaelData {

using TByteTable = std::array<std::uint8_t, 256>;
using TWordTable = std::array<std::uint32_t, 256>;

// The S-box followed directly by its inverse.
extern const std::array<std::uint8_t, 512> SBoxes;
inline const std::uint8_t* SBox() {
    return SBoxes.data();
}
inline const std::uint8_t* InverseSBox() {
    return SBoxes.data() + 256;
}

// Encryption tables: table 0 holds for each x the column (2·S[x], S[x], S[x], 3·S[x]) as a
// little-endian word; tables 1 to 3 are table 0 rotated left by 8, 16 and 24 bits.
extern const std::array<TWordTable, 4> EncryptTables;
// Decryption tables: the column (14·x', 9·x', 13·x', 11·x') with x' the inverse S-box of x,
// rotated the same way.
extern const std::array<TWordTable, 4> DecryptTables;

// Round constants, the constant in the least significant byte.
extern const std::array<std::uint32_t, 10> RoundConstants;

}  // namespace RijndaelData
