#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/LogState.h"

// Splits a file's bytes into lines. CR LF, LF and CR each end a line (LF CR is two ends);
// a line end at the very end does not start an empty line; a NUL byte ends the text.
// Lines keep every byte they hold.
std::vector<std::string> SplitLogLines(std::string_view text);

// Reads a whole file, opened for reading only, into lines. Raises EFOpenError when the
// file cannot be opened or read (missing, a directory, no permission).
std::vector<std::string> ReadLogLines(const std::filesystem::path& path);

// Interprets the header lines into `state` (LicenseText, SignatureText, SoftwareVersion,
// Offset, Angle, FirstRecordLine) and returns the lines without the signature lines, in
// file order. The lines are moved out of `lines`.
std::vector<std::string> ScanLogHeader(std::vector<std::string>& lines, TLogState& state);
