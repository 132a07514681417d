#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "app/LogState.h"

// The words every part of the program uses for a file it could not check, so that the same
// file reads the same in the main window, the log list, the report and norva-inspect.

// Why a loaded log got no verdict: "the file is empty", "no software version, not a NORVA-G
// log" or "software version 789 is below 790". `empty`: the file held no line at all.
std::string WhyNotCheckedText(const TLogState& state, bool empty);

// What lay behind a file that could not be opened or read, in the system's words where it has
// them ("Permission denied.", "It is a folder, not a file.").
std::string OpenFailureReason(const std::filesystem::path& path);

// What lies behind a load stopped by bearings outside the range of 32-bit numbers.
inline constexpr std::string_view OverflowReason =
    "The bearings of the OFFSET and ANGLE lines lie outside the range of 32-bit numbers.";
