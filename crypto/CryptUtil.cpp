#include "crypto/CryptUtil.h"

#include <algorithm>
#include <new>

namespace {

// A fill of memory that is released next may be removed as a dead store. The empty assembly
// statement claims to read the memory behind the pointer, so the fill before it stays.
inline void FillKept(std::uint8_t* bytes, std::uint8_t fill, std::size_t size) {
#if defined(__GNUC__) || defined(__clang__)
    std::memset(bytes, fill, size);
    __asm__ __volatile__("" : : "r"(bytes) : "memory");
#else
    volatile std::uint8_t* kept = bytes;
    for (std::size_t i = 0; i < size; ++i) {
        kept[i] = fill;
    }
#endif
}

std::string FillPlaceholders(std::string_view pattern,
                             std::initializer_list<std::string_view> args) {
    std::string text;
    const auto* next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool placeholder = pattern[i] == '%' && i + 1 < pattern.size() &&
                                 (pattern[i + 1] == 's' || pattern[i + 1] == 'd');
        if (placeholder && next != args.end()) {
            text += *next++;
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

}  // namespace

ECryptException::ECryptException(std::string_view message)
    : std::runtime_error(std::string(message)) {}

ECryptException::ECryptException(std::string_view pattern,
                                 std::initializer_list<std::string_view> args)
    : std::runtime_error(FillPlaceholders(pattern, args)) {}

void* TCryptObject::operator new(std::size_t size) {
    return ::operator new(size);
}

void TCryptObject::operator delete(void* memory, std::size_t size) {
    WipeBuffer(memory, static_cast<std::ptrdiff_t>(size));
    ::operator delete(memory);
}

void WipeBuffer(void* buffer, std::ptrdiff_t length) {
    static constexpr std::uint8_t WipePattern[] = {0x55, 0xAA, 0xFF, 0x00};
    // The four passes run piece by piece, each piece small enough to stay in the cache: every
    // byte still takes the four values in order, but a large buffer crosses memory once.
    constexpr std::ptrdiff_t PieceSize = 16 * 1024;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (std::ptrdiff_t done = 0; done < length; done += PieceSize) {
        const auto size = static_cast<std::size_t>(std::min(PieceSize, length - done));
        for (std::uint8_t fill : WipePattern) {
            FillKept(bytes + done, fill, size);
        }
    }
}

void WipeText(std::string& text) {
    // std::string never shares its storage, so wiping in place touches no other holder.
    // The spare capacity may still hold bytes of an earlier, longer value.
    text.resize(text.capacity());
    WipeBuffer(text.data(), static_cast<std::ptrdiff_t>(text.size()));
    text.clear();
    text.shrink_to_fit();
}

void SwapWords32(const void* source, void* destination, std::size_t count) {
    const auto* from = static_cast<const std::uint8_t*>(source);
    auto* to = static_cast<std::uint8_t*>(destination);
    for (std::size_t i = count; i > 0; --i) {
        std::uint32_t word;
        std::memcpy(&word, from + 4 * (i - 1), 4);
        word = SwapBytes32(word);
        std::memcpy(to + 4 * (i - 1), &word, 4);
    }
}

std::string ShortClassName(const TCryptClass* cryptClass) {
    if (cryptClass == nullptr) {
        return {};
    }
    const std::string_view name = cryptClass->Name;
    const std::size_t underscore = name.find('_');
    return std::string(underscore == std::string_view::npos ? name : name.substr(underscore + 1));
}
