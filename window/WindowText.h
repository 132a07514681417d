#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

// Byte text of a log file (Windows-1252) becomes readable text only here, at the
// window's edge.
QString DecodeWindows1252(std::string_view bytes);

// Label text: the chart's lines are CR LF separated, a QLabel wants LF.
QString DecodeLabelText(std::string_view bytes);

// Exception texts come from our own UTF-8 sources, but may carry a path or a
// byte-text fragment that is not UTF-8; those fall back to Windows-1252.
QString DecodeErrorText(std::string_view bytes);
