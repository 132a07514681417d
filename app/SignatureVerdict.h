#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/LogView.h"

enum class TSignatureVerdict { NotInterpretable, Valid, NotValid };

// The label text and the text box background of a verdict.
const std::string& VerdictText(TSignatureVerdict verdict);
TRgb VerdictColor(TSignatureVerdict verdict);

// Whether the signature of a long log may hash on a second thread beside its encryption. Off
// unless a program turns it on: the window keeps to one thread, norva-inspect allows two.
void AllowSignatureHashThread(bool allowed);

// Signs the signed text of the log text (ForEachSignedPiece) with the licence text and
// compares the result with the signature value byte for byte. Empty licence or signature
// values cannot be judged. Raises what the signature code raises.
TSignatureVerdict JudgeSignature(std::string_view text, const std::string& licenseText,
                                 const std::string& signatureText);

// Judges and shows the verdict: background colour first, then the label. On an error the
// view keeps what it showed.
TSignatureVerdict ShowSignatureVerdict(ILogView& view, std::string_view text,
                                       const std::string& licenseText,
                                       const std::string& signatureText);
