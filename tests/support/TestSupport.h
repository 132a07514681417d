#pragma once
// Helpers shared by the tests, the fuzz corpus replay and the benchmarks: bytes in hexadecimal,
// whole files, line splitting and the test-data folders. Standard library only.

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Hexadecimal digits of either case to bytes; blanks between digits are ignored.
std::string FromHex(std::string_view hex);
// Bytes to lower-case hexadecimal.
std::string ToHex(std::string_view bytes);

std::string RandomBytes(std::mt19937& random, std::size_t count);

// The whole file as bytes; throws when it cannot be read.
std::string ReadFile(const std::string& path);

// The lines of a text: CR LF, LF and CR each end a line; a final line end adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// The pieces between the separators; the empty text is one empty piece.
std::vector<std::string> SplitAt(std::string_view text, std::string_view separator);

// A file of a suite's data folder; each suite passes its own folder (NORVA_TEST_DATA).
std::string TestDataPath(std::string_view folder, std::string_view fileName);

}  // namespace testsupport
