#pragma once
// Shared helpers of the fuzz targets: a broken invariant must end the run loudly, both under
// libFuzzer (which reports the abort as a crash and keeps the input) and in the corpus replay
// of the regular test suite.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                           \
    do {                                                \
        if (!(condition)) {                             \
            ::FuzzFail(__FILE__, __LINE__, #condition); \
        }                                               \
    } while (false)

[[noreturn]] inline void FuzzFail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

// Takes leading control values off the fuzzer's bytes; the rest is the payload. Reading past
// the end yields zeros, so every input length is usable.
class TFuzzInput {
  public:
    TFuzzInput(const uint8_t* data, size_t size) : Data_(data), Size_(size) {}

    uint8_t Byte() {
        if (Size_ == 0) {
            return 0;
        }
        --Size_;
        return *Data_++;
    }

    // Up to `count` bytes, fewer when the input ends.
    std::string Bytes(size_t count) {
        count = std::min(count, Size_);
        std::string bytes(reinterpret_cast<const char*>(Data_), count);
        Data_ += count;
        Size_ -= count;
        return bytes;
    }

    std::string Rest() { return Bytes(Size_); }
    size_t Remaining() const { return Size_; }

  private:
    const uint8_t* Data_;
    size_t Size_;
};

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}
