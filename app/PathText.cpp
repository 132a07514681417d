#include "app/PathText.h"

#include <QStringDecoder>
#include <algorithm>
#include <string>

#include "app/Cp1252.h"

QString DisplayPathText(const std::filesystem::path& path) {
    const std::string& bytes = path.native();
    // ASCII reads the same in every locale.
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    QStringDecoder locale(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    QString text =
        locale.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (locale.hasError()) {
        return QString::fromStdString(Cp1252ToUtf8(bytes));
    }
    return text;
}
