#pragma once

#include <QColor>
#include <optional>
#include <string>
#include <vector>

#include "app/LogView.h"

enum class TSignatureVerdict { NotInterpretable, Valid, NotValid };

// The label text and the text box background of a verdict.
const std::string& VerdictText(TSignatureVerdict verdict);
QColor VerdictColor(TSignatureVerdict verdict);

// Every line followed by CR LF, the last one included.
std::string JoinSignedText(const std::vector<std::string>& lines);

// Signs the lines with the licence text and compares the result with the signature value
// byte for byte. Empty licence or signature values cannot be judged. Raises what the
// signature code raises.
TSignatureVerdict JudgeSignature(const std::vector<std::string>& lines,
                                 const std::string& licenseText, const std::string& signatureText);

// Judges and shows the verdict: background colour first, then the label. On an error the
// view keeps what it showed.
TSignatureVerdict ShowSignatureVerdict(ILogView& view, const std::vector<std::string>& lines,
                                       const std::string& licenseText,
                                       const std::string& signatureText);
