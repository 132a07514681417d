#pragma once

#include <QString>
#include <filesystem>

// A file name as the file system holds it, readable: decoded as the locale says, or as
// Windows-1252 when the bytes are not valid there (a Latin-1 name on a UTF-8 desktop). The one
// way every window, list and report line turns a path into text.
QString DisplayPathText(const std::filesystem::path& path);
