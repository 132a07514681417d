#pragma once

#include <string>

// Decodes byte text of the Windows-1252 code page to UTF-8. The five bytes the code page
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the
// same number, so every byte decodes to exactly one character.
std::string Cp1252ToUtf8(const std::string& bytes);
