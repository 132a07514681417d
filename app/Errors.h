#pragma once

#include <stdexcept>
#include <string>

// The framework's errors that a load can raise. Their messages are the texts the user
// sees in the error box, UTF-8 encoded.

// A file that cannot be opened or read.
class EFOpenError : public std::runtime_error {
  public:
    explicit EFOpenError(const std::string& path)
        : std::runtime_error("Datei " + path + " kann nicht geöffnet werden") {}
};

// 32-bit signed arithmetic left its range.
class EIntOverflow : public std::runtime_error {
  public:
    EIntOverflow() : std::runtime_error("Integerüberlauf") {}
};
