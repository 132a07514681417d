#pragma once
// Wipes what a compression leaves behind it: schedule words the compiler spilled to the stack
// or left in vector registers, which no code of ours can reach to clear. Internal linkage, so
// that every file compiled with its own instruction set flags keeps its own copy.

#if defined(__AVX__)
#include <immintrin.h>
#endif

#include <cstddef>
#include <cstdint>

#include "crypto/CryptUtil.h"

namespace {
namespace StackWipe {

// Leaves no schedule words in the vector registers: the caller owns them now and may leave
// them untouched for long. Elsewhere than on x86 the portable code keeps its words in
// general registers, which the next calls overwrite.
inline __attribute__((always_inline)) void ClearVectorRegisters() {
#if defined(__AVX__)
    _mm256_zeroall();
#elif defined(__x86_64__) || defined(__i386__)
    __asm__ __volatile__(
        "pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\t"
        "pxor %%xmm3, %%xmm3\n\tpxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\t"
        "pxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7\n\t"
#if defined(__x86_64__)
        "pxor %%xmm8, %%xmm8\n\tpxor %%xmm9, %%xmm9\n\tpxor %%xmm10, %%xmm10\n\t"
        "pxor %%xmm11, %%xmm11\n\tpxor %%xmm12, %%xmm12\n\tpxor %%xmm13, %%xmm13\n\t"
        "pxor %%xmm14, %%xmm14\n\tpxor %%xmm15, %%xmm15\n\t"
#endif
        :
        :
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7"
#if defined(__x86_64__)
          ,
          "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15"
#endif
    );
#endif
}

// The lowest address of the frame of the function it is read in.
inline __attribute__((always_inline)) std::uintptr_t StackPointer() {
    std::uintptr_t pointer;
#if defined(__x86_64__)
    __asm__ __volatile__("mov %%rsp, %0" : "=r"(pointer));
#elif defined(__i386__)
    __asm__ __volatile__("mov %%esp, %0" : "=r"(pointer));
#else
    // The frame's top: the margin WipeStack adds covers a frame as small as a compression's.
    pointer = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
#endif
    return pointer;
}

// Wipes the `depth` bytes of stack below the caller's frame, where the frames of the
// functions it called before were, and a little more for the caller's own frame should the
// call be made as a jump. One block, not an array per frame, and no sanitiser in this frame:
// either would leave gaps between the wiped bytes.
[[gnu::noinline, gnu::no_sanitize_address]] void WipeStack(std::size_t depth) {
    const std::size_t size = depth + 256;
    WipeBuffer(__builtin_alloca(size), static_cast<std::ptrdiff_t>(size));
}

// Runs `compress`, which returns StackPointer() read inside its own (not inlined) frame, and
// wipes the stack the compression used below the caller.
template <typename Compress>
inline __attribute__((always_inline)) void Wiping(Compress compress) {
    const std::uintptr_t top = StackPointer();
    const std::uintptr_t deepest = compress();
    WipeStack(top - deepest);
}

}  // namespace StackWipe
}  // namespace
