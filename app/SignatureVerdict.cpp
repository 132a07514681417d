#include "app/SignatureVerdict.h"

#include "crypto/Cipher.h"

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

QColor VerdictColor(TSignatureVerdict verdict) {
    switch (verdict) {
        case TSignatureVerdict::Valid:
            return QColor(208, 255, 208);
        case TSignatureVerdict::NotValid:
            return QColor(255, 208, 208);
        case TSignatureVerdict::NotInterpretable:
            break;
    }
    return QColor(255, 255, 208);
}

std::string JoinSignedText(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const std::string& line : lines) {
        size += line.size() + 2;
    }
    std::string text;
    // Room for the signing to encrypt and encode the text where it stands.
    text.reserve(TCipher::SignBufferSize(size));
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

TSignatureVerdict JudgeSignature(const std::vector<std::string>& lines,
                                 const std::string& licenseText, const std::string& signatureText) {
    TCipher cipher;
    if (licenseText.empty() || signatureText.empty()) {
        return TSignatureVerdict::NotInterpretable;
    }
    cipher.Setup("", licenseText);
    const std::string computed = cipher.SignText(JoinSignedText(lines));
    return computed == signatureText ? TSignatureVerdict::Valid : TSignatureVerdict::NotValid;
}

TSignatureVerdict ShowSignatureVerdict(ILogView& view, const std::vector<std::string>& lines,
                                       const std::string& licenseText,
                                       const std::string& signatureText) {
    const TSignatureVerdict verdict = JudgeSignature(lines, licenseText, signatureText);
    view.SetFileContentColor(VerdictColor(verdict));
    view.SetCheckResult(VerdictText(verdict));
    return verdict;
}
