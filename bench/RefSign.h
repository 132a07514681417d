#pragma once
// The work of a load as the OpenSSL yardstick does it (norva-ref-verify, norva-ref-batch):
// split the file into lines, scan the header lines, join the signed text, then AES-256 in block
// chaining with an 8-bit feedback tail, base64, SHA-1. Never part of the product.

#include <string>
#include <string_view>
#include <vector>

namespace refsign {

struct THeader {
    std::string_view Licence;
    std::string_view Signature;
    int Version = 0;
    std::vector<std::string_view> Signed;  // every line but the signature lines
};

enum class TVerdict { NotChecked, NotInterpretable, Valid, NotValid };

// The header of a file's bytes; the views point into `file`.
THeader ScanHeader(std::string_view file);

// The signature the signed lines call for. With `plainSha1` the text is hashed by EVP's SHA-1
// without the counter surplus the signing devices add (the same verdict only below 2^25 bytes).
std::string Sign(const THeader& header, bool plainSha1 = false);

TVerdict Verify(std::string_view file, bool plainSha1 = false);

// "The signature is OK" and the like; "not checked" for a log of older software.
const char* VerdictText(TVerdict verdict);
// The exit status norva-inspect gives the verdict: 0 OK, 1 NOT VALID, 2 otherwise.
int ExitStatus(TVerdict verdict);

}  // namespace refsign
