#include "window/WindowText.h"

#include <QStringDecoder>
#include <string>

#include "app/Cp1252.h"

QString DecodeWindows1252(std::string_view bytes) {
    return QString::fromStdString(Cp1252ToUtf8(std::string(bytes)));
}

QString DecodeLabelText(std::string_view bytes) {
    QString text = DecodeWindows1252(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString DecodeErrorText(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError()) {
        return DecodeWindows1252(bytes);
    }
    return text;
}
