#pragma once
// Base of the cryptographic toolkit: root object, exception, wipe and byte helpers.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

// Every algorithm of the toolkit reads and writes 32-bit words in little-endian byte order.
static_assert(std::endian::native == std::endian::little, "little-endian host required");

// The toolkit's fixed message texts.
namespace CryptMessages {
inline constexpr std::string_view InvalidFormat = "Input is not an valid %s format.";
inline constexpr std::string_view CipherPadded =
    "Cipher has already been padded, cannot process message";
inline constexpr std::string_view InvalidState = "Cipher is not in valid state for this action";
inline constexpr std::string_view InvalidMessageLength =
    "Message length for %s must be a multiple of %d bytes";
inline constexpr std::string_view KeyTooLarge = "Keymaterial is too large for use (Security Issue)";
inline constexpr std::string_view VectorTooLarge =
    "Initvector is too large for use (Security Issue)";
inline constexpr std::string_view NoDefaultCipher = "No default cipher has been registered";
inline constexpr std::string_view HashOverflow = "Hash function have to many bits processed";
inline constexpr std::string_view HashNotInitialized = "Hash must be initialized";
inline constexpr std::string_view NoDefaultHash = "No default hash are registered";
}  // namespace CryptMessages

class ECryptException : public std::runtime_error {
  public:
    explicit ECryptException(std::string_view message);
    // Fills the "%s" and "%d" placeholders of `pattern` with `args`, in order.
    ECryptException(std::string_view pattern, std::initializer_list<std::string_view> args);
};

// Immutable descriptor shared by all class references of the toolkit.
struct TCryptClass {
    std::string_view Name;
};

// Root of every hash and cipher object. Released objects leave zero bytes behind, so
// key schedules and digests held directly in an object never outlive it.
class TCryptObject {
  public:
    virtual ~TCryptObject() = default;
    TCryptObject(const TCryptObject&) = delete;
    TCryptObject& operator=(const TCryptObject&) = delete;

    virtual const TCryptClass* ClassType() const = 0;

    static void* operator new(std::size_t size);
    static void operator delete(void* memory, std::size_t size);

  protected:
    TCryptObject() = default;
};

// Overwrites `length` bytes with 0x55, 0xAA, 0xFF and finally 0x00 in a way the
// optimiser cannot drop. Nothing happens for a length of 0 or less.
void WipeBuffer(void* buffer, std::ptrdiff_t length);

// Wipes the whole storage of `text` (also spare capacity) and leaves it empty.
void WipeText(std::string& text);

// Wipes a text when the scope ends, also when an exception passes through.
class TTextWiper {
  public:
    explicit TTextWiper(std::string& text) : Text(text) {}
    ~TTextWiper() { WipeText(Text); }
    TTextWiper(const TTextWiper&) = delete;
    TTextWiper& operator=(const TTextWiper&) = delete;

  private:
    std::string& Text;
};

// destination[i] = source1[i] ^ source2[i]; the destination may be one of the sources.
// Works from the end: first the bytes beyond the last whole 32-bit word, then the words.
inline void XorBytes(const void* source1, const void* source2, std::size_t length,
                     void* destination) {
    const auto* a = static_cast<const std::uint8_t*>(source1);
    const auto* b = static_cast<const std::uint8_t*>(source2);
    auto* d = static_cast<std::uint8_t*>(destination);
    std::size_t i = length;
    for (std::size_t tail = length % 4; tail > 0; --tail) {
        --i;
        d[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
    }
    while (i > 0) {
        i -= 4;
        std::uint32_t x;
        std::uint32_t y;
        std::memcpy(&x, a + i, 4);
        std::memcpy(&y, b + i, 4);
        x ^= y;
        std::memcpy(d + i, &x, 4);
    }
}

inline std::uint32_t SwapBytes32(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
           (value << 24);
}

// SwapBytes32 over `count` consecutive words, from the last to the first; the source and
// the destination may coincide.
void SwapWords32(const void* source, void* destination, std::size_t count);

// The class name after its first underscore ("TFormat_HEX" gives "HEX"), the whole name
// when it has none, the empty text for no class.
std::string ShortClassName(const TCryptClass* cryptClass);
