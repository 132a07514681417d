#include "window/LogListRow.h"

#include <QLocale>
#include "app/PathText.h"

namespace {

// A name holding a line break or another control character stays on its one line: each such
// character shows as its picture (U+2400 and on).
QString OneLineName(QString name) {
    for (QChar& c : name) {
        if (c.unicode() < 0x20) {
            c = QChar(0x2400 + c.unicode());
        }
    }
    return name;
}

}  // namespace

TLogListRow NewLogListRow(const std::filesystem::path& path, const std::filesystem::path& folder,
                          uint64_t serial) {
    TLogListRow row;
    row.Path = path;
    const std::filesystem::path below = path.lexically_relative(folder);
    const bool inside = !below.empty() && below != "." && *below.begin() != "..";
    row.Name = OneLineName(DisplayPathText(inside ? below : path));
    row.CheckSerial = serial;
    return row;
}

void TakeCheckResult(TLogListRow& row, const TFileReport& report) {
    row.Outcome = OutcomeOf(report);
    row.OutcomeText = QString::fromStdString(OutcomeTextWithCause(report));
    row.HarmlessChange = HasHarmlessCause(report);
    row.LikelyCause = report.LikelyCause
                          ? QString::fromStdString(LikelyCauseText(*report.LikelyCause))
                          : QString();
    row.SoftwareVersion.reset();
    if (!report.Error) {
        row.SoftwareVersion = report.State.SoftwareVersion;
    }
    row.FirstRecord = FirstRecordTime(report);
    row.Size = report.Size;
    row.Sha256 = report.Sha256;
}

// The C locale's collation knows neither letter case aside nor numbers by value, so a
// language that does stands in for it.
QCollator NameCollator() {
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}
