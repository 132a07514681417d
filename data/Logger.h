#pragma once

#include <string>

// Days since 1899-12-30 00:00, the time of day as the fraction; 0 means no time.
using TDateTime = double;

// The time of a log time text YYYYMMDDhhmmss, or 0 when it is not a valid time.
TDateTime ParseLogTime(const std::string& text);

// The current local date and time.
TDateTime Now();
