#pragma once
// The SHA-1 rounds, written once for the portable code and the vector schedule paths.
//
// Everything here has internal linkage. The header is also compiled into files built with
// instruction-set flags, and a definition shared between object files (an inline function,
// a template) may end up as the one copy the linker keeps for the whole program, run by
// processors without those instructions.

#include <cstdint>

namespace {
namespace Sha1Rounds {

constexpr std::uint32_t Rotl(std::uint32_t x, int count) {
    return (x << count) | (x >> (32 - count));
}

constexpr std::uint32_t Constant(int round) {
    return round < 20   ? 0x5A827999u
           : round < 40 ? 0x6ED9EBA1u
           : round < 60 ? 0x8F1BBCDCu
                        : 0xCA62C1D6u;
}

template <int Round>
inline __attribute__((always_inline)) std::uint32_t Function(std::uint32_t b, std::uint32_t c,
                                                             std::uint32_t d) {
    if constexpr (Round < 20) {
        return d ^ (b & (c ^ d));
    } else if constexpr (Round < 40 || Round >= 60) {
        return b ^ c ^ d;
    } else {
        return (b & c) + (d & (b ^ c));
    }
}

// One round. The five working words rotate their roles from round to round, so the round
// number picks which array element plays a, b, c, d and e; with every index a constant the
// compiler keeps the five words in registers. `addWord(e)` adds the message word and the
// round constant to e: the paths differ only in where that sum comes from.
template <int Round, typename AddWord>
inline __attribute__((always_inline)) void Step(std::uint32_t (&v)[5], AddWord addWord) {
    constexpr int Shift = Round % 5;
    constexpr int A = (5 - Shift) % 5;
    constexpr int B = (6 - Shift) % 5;
    constexpr int C = (7 - Shift) % 5;
    constexpr int D = (8 - Shift) % 5;
    constexpr int E = (9 - Shift) % 5;
    // Summed in the order the inputs become ready: `a` of this round comes last, which keeps
    // the dependency chain from round to round short.
    addWord(v[E]);
    v[E] += Function<Round>(v[B], v[C], v[D]);
    v[E] += Rotl(v[A], 5);
    v[B] = Rotl(v[B], 30);
}

}  // namespace Sha1Rounds
}  // namespace
