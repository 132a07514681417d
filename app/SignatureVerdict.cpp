#include "app/SignatureVerdict.h"

#include <atomic>

#include "app/LogFile.h"
#include "crypto/Cipher.h"

namespace {

std::atomic<bool> HashThreadAllowed{false};

}  // namespace

void AllowSignatureHashThread(bool allowed) {
    HashThreadAllowed.store(allowed, std::memory_order_relaxed);
}

const std::string& VerdictText(TSignatureVerdict verdict) {
    static const std::string notInterpretable = "The file could not be interpreted";
    static const std::string valid = "The signature is OK";
    static const std::string notValid = "The signature is NOT VALID";
    switch (verdict) {
        case TSignatureVerdict::Valid:
            return valid;
        case TSignatureVerdict::NotValid:
            return notValid;
        case TSignatureVerdict::NotInterpretable:
            break;
    }
    return notInterpretable;
}

TRgb VerdictColor(TSignatureVerdict verdict) {
    switch (verdict) {
        case TSignatureVerdict::Valid:
            return Rgb(208, 255, 208);
        case TSignatureVerdict::NotValid:
            return Rgb(255, 208, 208);
        case TSignatureVerdict::NotInterpretable:
            break;
    }
    return Rgb(255, 255, 208);
}

TSignatureVerdict JudgeSignature(std::string_view text, const std::string& licenseText,
                                 const std::string& signatureText) {
    TCipher cipher;
    if (licenseText.empty() || signatureText.empty()) {
        return TSignatureVerdict::NotInterpretable;
    }
    cipher.Setup("", licenseText);
    cipher.BeginSignText(HashThreadAllowed.load(std::memory_order_relaxed));
    ForEachSignedPiece(text, [&cipher](std::string_view piece) { cipher.SignPiece(piece); });
    const std::string computed = cipher.EndSignText();
    return computed == signatureText ? TSignatureVerdict::Valid : TSignatureVerdict::NotValid;
}

TSignatureVerdict ShowSignatureVerdict(ILogView& view, std::string_view text,
                                       const std::string& licenseText,
                                       const std::string& signatureText) {
    const TSignatureVerdict verdict = JudgeSignature(text, licenseText, signatureText);
    view.SetFileContentColor(VerdictColor(verdict));
    view.SetCheckResult(VerdictText(verdict));
    return verdict;
}
