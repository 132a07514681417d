// norva-ref-verify: a small verifier of signed logs built on OpenSSL's libcrypto, the yardstick
// for the end-to-end speed of norva-inspect (bench/run-e2e) and the signer of the generated
// large logs (scripts/make-large-log). Never part of the product.
//
//   norva-ref-verify FILE             prints the verdict; exit 0 OK, 1 NOT VALID, 2 no verdict
//   norva-ref-verify --sign FILE      prints the signature the file's lines call for
//   --plain-sha1                      hashes with EVP SHA-1 without the counter surplus (below)
//
// It does the work of a load (bench/RefSign.h): read the file, split it into lines, scan the
// header lines, join the signed text, then AES-256 in block chaining with an 8-bit feedback
// tail, base64, SHA-1. --plain-sha1 takes EVP's SHA-1 of the same bytes, without the counter
// surplus of the signing devices: the same verdict only below 2^25 bytes.

#include <iostream>
#include <stdexcept>
#include <string_view>

#include "bench/RefSign.h"
#include "tests/support/TestSupport.h"

namespace {

int Run(int argc, char** argv) {
    bool sign = false;
    bool plainSha1 = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--sign") {
            sign = true;
        } else if (arg == "--plain-sha1") {
            plainSha1 = true;
        } else if (path == nullptr) {
            path = argv[i];
        } else {
            throw std::invalid_argument("one file only");
        }
    }
    if (path == nullptr) {
        throw std::invalid_argument("usage: norva-ref-verify [--sign] [--plain-sha1] FILE");
    }
    const std::string file = testsupport::ReadFile(path);
    if (sign) {
        std::cout << refsign::Sign(refsign::ScanHeader(file), plainSha1) << '\n';
        return 0;
    }
    const refsign::TVerdict verdict = refsign::Verify(file, plainSha1);
    std::cout << refsign::VerdictText(verdict) << '\n';
    return refsign::ExitStatus(verdict);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "norva-ref-verify: " << e.what() << '\n';
        return 3;
    }
}
