#include "app/PathText.h"

#include <QStringDecoder>
#include <string>

#include "app/Cp1252.h"

QString DisplayPathText(const std::filesystem::path& path) {
    const std::string& bytes = path.native();
    QStringDecoder locale(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    QString text =
        locale.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (locale.hasError()) {
        return QString::fromStdString(Cp1252ToUtf8(bytes));
    }
    return text;
}
