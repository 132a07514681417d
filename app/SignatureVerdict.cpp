#include "app/SignatureVerdict.h"

#include <atomic>

#include "app/LogFile.h"
#include "crypto/Cipher.h"
#include "crypto/CryptUtil.h"

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
    return JudgeSignature([text](const auto& piece) { ForEachSignedPiece(text, piece); },
                          licenseText, signatureText);
}

TSignatureVerdict JudgeSignature(const TSignedTextSource& signedText,
                                 const std::string& licenseText, const std::string& signatureText) {
    TCipher cipher;
    if (licenseText.empty() || signatureText.empty()) {
        return TSignatureVerdict::NotInterpretable;
    }
    cipher.Setup("", licenseText);
    cipher.BeginSignText(HashThreadAllowed.load(std::memory_order_relaxed));
    signedText([&cipher](std::string_view piece) { cipher.SignPiece(piece); });
    const std::string computed = cipher.EndSignText();
    return computed == signatureText ? TSignatureVerdict::Valid : TSignatureVerdict::NotValid;
}

TSignatureVerdict ShowSignatureVerdict(ILogView& view, std::string_view text,
                                       const std::string& licenseText,
                                       const std::string& signatureText) {
    return ShowSignatureVerdict(
        view, [text](const auto& piece) { ForEachSignedPiece(text, piece); }, licenseText,
        signatureText);
}

TSignatureVerdict ShowSignatureVerdict(ILogView& view, const TSignedTextSource& signedText,
                                       const std::string& licenseText,
                                       const std::string& signatureText) {
    return ShowVerdict(view, JudgeSignature(signedText, licenseText, signatureText));
}

TSignatureVerdict ShowVerdict(ILogView& view, TSignatureVerdict verdict) {
    view.SetFileContentColor(VerdictColor(verdict));
    view.SetCheckResult(VerdictText(verdict));
    return verdict;
}

TRunningSignature::TRunningSignature() = default;

TRunningSignature::~TRunningSignature() {
    WipeText(Waiting_);
}

void TRunningSignature::Add(std::string_view piece, const std::string& licenseText) {
    if (GivenUp_ || Error_) {
        return;
    }
    // An error is raised only when the verdict is asked for, as signing after the read would.
    try {
        if (!Cipher_ && !licenseText.empty() && Waiting_.size() + piece.size() > HeldBackBytes) {
            StartSigning(licenseText);
        }
        if (Cipher_) {
            Cipher_->SignPiece(piece);
        } else if (Waiting_.size() + piece.size() > MaxWaitingBytes) {
            GivenUp_ = true;
            WipeText(Waiting_);
            Waiting_ = std::string();
        } else {
            Waiting_.append(piece);
        }
    } catch (...) {
        Error_ = std::current_exception();
    }
}

void TRunningSignature::StartSigning(const std::string& licenseText) {
    Cipher_ = std::make_unique<TCipher>();
    License_ = licenseText;
    Cipher_->Setup("", License_);
    Cipher_->BeginSignText(HashThreadAllowed.load(std::memory_order_relaxed));
    Cipher_->SignPiece(Waiting_);
    WipeText(Waiting_);
    Waiting_ = std::string();
}

std::optional<TSignatureVerdict> TRunningSignature::Judge(const std::string& licenseText,
                                                          const std::string& signatureText) {
    if (licenseText.empty() || signatureText.empty()) {
        return TSignatureVerdict::NotInterpretable;
    }
    if (GivenUp_ || (Cipher_ && License_ != licenseText)) {
        return std::nullopt;
    }
    if (Error_) {
        std::rethrow_exception(Error_);
    }
    if (!Cipher_) {
        StartSigning(licenseText);
    }
    const std::unique_ptr<TCipher> cipher = std::move(Cipher_);
    const std::string computed = cipher->EndSignText();
    return computed == signatureText ? TSignatureVerdict::Valid : TSignatureVerdict::NotValid;
}
