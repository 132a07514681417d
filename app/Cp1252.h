#pragma once

#include <optional>
#include <string>
#include <string_view>

// Decodes byte text of the Windows-1252 code page to UTF-8. The five bytes the code page
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the
// same number, so every byte decodes to exactly one character.
std::string Cp1252ToUtf8(const std::string& bytes);

// The bytes a UTF-8 text had before an editor wrote it as UTF-8: each character as its
// Windows-1252 byte, and U+0080..U+009F as the bytes of the same number, as a program that read
// the text as ISO-8859-1 writes them. Nothing when the text is not valid UTF-8 or holds a
// character that neither code page has.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);
