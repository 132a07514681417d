#pragma once
// Text formats of the toolkit: bytes to text and back (copy, hexadecimal, base64).

#include <cstddef>
#include <string>
#include <string_view>

#include "crypto/CryptUtil.h"

// Class reference of a text format. Formats are stateless: the descriptor carries the
// class operations and no format object is ever created.
struct TFormatClass : TCryptClass {
    using ToTextOp = std::string (*)(const void* data, std::size_t count);
    using FromTextOp = std::string (*)(const void* text, std::size_t count);
    using AcceptsTextOp = bool (*)(const TFormatClass& self, const void* text, std::size_t count);
    using TextSizeOp = std::size_t (*)(std::size_t count);
    using ToTextAtOp = void (*)(const void* data, std::size_t count, char* out);

    ToTextOp ToTextFn;
    FromTextOp FromTextFn;
    AcceptsTextOp AcceptsTextFn;
    std::string_view AlphabetChars;  // empty for formats without a character table
    TextSizeOp TextSizeFn;
    ToTextAtOp ToTextAtFn;

    std::string ToText(const void* data, std::size_t count) const { return ToTextFn(data, count); }
    std::string FromText(const void* text, std::size_t count) const {
        return FromTextFn(text, count);
    }
    bool AcceptsText(const void* text, std::size_t count) const {
        return AcceptsTextFn(*this, text, count);
    }
    std::string_view Alphabet() const { return AlphabetChars; }
    // The length of the text of `count` bytes.
    std::size_t TextSize(std::size_t count) const { return TextSizeFn(count); }
    // Writes the text of the bytes at `out`, which has room for TextSize(count) characters:
    // a text made piece by piece into a buffer that is reused.
    void EncodeAt(const void* data, std::size_t count, char* out) const {
        ToTextAtFn(data, count, out);
    }

    std::string Encode(std::string_view bytes) const { return ToText(bytes.data(), bytes.size()); }
    std::string EncodeBuffer(const void* data, std::size_t count) const {
        return ToText(data, count);
    }
    std::string Decode(std::string_view text) const { return FromText(text.data(), text.size()); }
    bool AcceptsText(std::string_view text) const { return AcceptsText(text.data(), text.size()); }
};

// Bytes unchanged.
class TFormat_Copy {
  public:
    TFormat_Copy() = delete;
    static const TFormatClass* ClassRef();
};

// Upper-case hexadecimal digits; decoding also takes lower case and the prefixes "$" / "0X".
class TFormat_HEX {
  public:
    TFormat_HEX() = delete;
    static const TFormatClass* ClassRef();
};

// Base64 of RFC 4648 with "=" padding and no line breaks.
class TFormat_MIME64 {
  public:
    TFormat_MIME64() = delete;
    static const TFormatClass* ClassRef();
};

// The given format, or TFormat_Copy when none is given.
const TFormatClass* FormatClassOrDefault(const TFormatClass* formatClass);
