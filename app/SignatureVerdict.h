#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/LogView.h"

class TCipher;

enum class TSignatureVerdict { NotInterpretable, Valid, NotValid };

// The label text and the text box background of a verdict.
const std::string& VerdictText(TSignatureVerdict verdict);
TRgb VerdictColor(TSignatureVerdict verdict);

// Whether the signature of a long log may hash on a second thread beside its encryption. Off
// unless a program turns it on: the window keeps to one thread, norva-inspect allows two.
void AllowSignatureHashThread(bool allowed);

// Hands the signed text over in order, piece by piece, to the function it is given.
using TSignedTextSource =
    std::function<void(const std::function<void(std::string_view piece)>& piece)>;

// Signs the signed text of the log text (ForEachSignedPiece) with the licence text and
// compares the result with the signature value byte for byte. Empty licence or signature
// values cannot be judged. Raises what the signature code raises.
TSignatureVerdict JudgeSignature(std::string_view text, const std::string& licenseText,
                                 const std::string& signatureText);
TSignatureVerdict JudgeSignature(const TSignedTextSource& signedText,
                                 const std::string& licenseText, const std::string& signatureText);

// Judges and shows the verdict: background colour first, then the label. On an error the
// view keeps what it showed.
TSignatureVerdict ShowSignatureVerdict(ILogView& view, std::string_view text,
                                       const std::string& licenseText,
                                       const std::string& signatureText);
TSignatureVerdict ShowSignatureVerdict(ILogView& view, const TSignedTextSource& signedText,
                                       const std::string& licenseText,
                                       const std::string& signatureText);

// Shows a verdict judged beforehand: background colour first, then the label.
TSignatureVerdict ShowVerdict(ILogView& view, TSignatureVerdict verdict);

// The signature of a log signed while its text is read and its header scanned, piece by piece:
// signing starts with the first licence value the scan found once more than HeldBackBytes of
// signed text came, and the signed text before it waits in memory. A small log is thus signed
// only when its verdict is asked for, and then with the final licence value: most logs of a
// delivery that get no verdict (software too old, no signature) cost no signing. When the
// final licence value is another one than signing started with, or too much text came before
// the first, the signed text has to be signed again (JudgeSignature).
class TRunningSignature {
  public:
    // Signed text waiting for a licence value beyond this is given up.
    static constexpr std::size_t MaxWaitingBytes = std::size_t{4} << 20;
    // Signed text up to this waits even when a licence value is known.
    static constexpr std::size_t HeldBackBytes = std::size_t{64} << 10;

    TRunningSignature();
    ~TRunningSignature();
    TRunningSignature(const TRunningSignature&) = delete;
    TRunningSignature& operator=(const TRunningSignature&) = delete;

    // The next piece of the signed text, with the licence value as the scan left it once it
    // had seen the lines of the piece (ScanAndSignRun).
    void Add(std::string_view piece, const std::string& licenseText);
    // The verdict for the final values as JudgeSignature gives it, or nothing when the text
    // has to be signed again. Raises what the signature code raised.
    std::optional<TSignatureVerdict> Judge(const std::string& licenseText,
                                           const std::string& signatureText);

  private:
    void StartSigning(const std::string& licenseText);

    std::unique_ptr<TCipher> Cipher_;
    std::string License_;  // the value the cipher was set up with
    std::string Waiting_;  // signed text before any licence value
    bool GivenUp_ = false;
    std::exception_ptr Error_;
};
