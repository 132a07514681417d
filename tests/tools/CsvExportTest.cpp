// norva-inspect --csv: which cells become rows and what each column holds.
#include <gtest/gtest.h>

#include "tests/tools/InspectRun.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <map>
#include <string>

namespace {

// A record line of 116 fields for direction data: the identity of the serving cell and the
// cell blocks given (index 0..8 -> channel, level, ci, lac, plmn, c1, c2, b, service).
QByteArray RecordLine(const std::map<int, QList<QByteArray>>& blocks) {
    QList<QByteArray> fields(116);
    fields[0] = "03";
    fields[1] = "20240514102231";
    fields[2] = "U";
    fields[5] = "1004";
    fields[6] = "4711";
    fields[7] = "26210";
    fields[8] = "2G";
    for (const auto& [index, values] : blocks) {
        const int b = 14 + 11 * index;
        fields[b] = "16";
        for (int i = 0; i < values.size(); ++i) {
            fields[b + 1 + i] = values[i];
        }
    }
    return fields.join(';');
}

TEST(CsvExportTest, ServingCellAndNeighboursWithALevelMakeRows) {
    QTemporaryDir dir;
    // The name needs quoting in the file column.
    const QString path = dir.filePath("cells, \"north\".ktz");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("NORVA-G MEASUREMENT LOG\r\nLICENSE: L\r\nSWVERSION: NG-FW 795\r\n");
    file.write(RecordLine({{0, {"967", "52", "1004", "4711", "26210", "21", "0", "15", "G"}},
                           {1, {"753", "", "24879", "51690", "26201", "1", "11", "3", "E"}},
                           {2, {"98", "99", "", "45603", "26202", "12", "", "29", ""}},
                           {8, {"973", "86", "1766", "4712", "26210", "20", "-17", "-3", "E"}}}) +
               "\r\n");
    // A record without a valid identity gives no rows at all.
    file.write("03;20240514102231;U;1;0;0;0;26210;2G\r\n");
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString digest =
        "," + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();

    const TRun run = Inspect({"--csv", path});
    const QString quoted = "\"" + QString(path).replace("\"", "\"\"") + "\"";
    const QString verdict = "The file could not be interpreted";
    const QStringList want = {
        "file,direction,time,cell,channel,level_dbm,network,lac,ci,c1,c2,b,d,verdict,sha256,"
        "likely_cause",
        quoted + ",0,2024-05-14T10:22:31,0,967,-52,DE-10,4711,1004,21,0,7,G," + verdict + digest +
            ",",
        quoted + ",0,2024-05-14T10:22:31,2,98,-99,DE-02,45603,,12,,5,," + verdict + digest + ",",
        quoted + ",0,2024-05-14T10:22:31,8,973,-86,DE-10,4712,1766,20,-17,-3,E," + verdict +
            digest + ",",
    };
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(QString::fromUtf8(run.out), want.join("\r\n") + "\r\n");
}

// The columns of a cell line " CHN RLEV PLMN   LAI   CID  C1  C2 B D" as CSV fields.
QStringList CellLineFields(const QString& line, bool serving) {
    const auto column = [&line](int from, int length) { return line.mid(from, length).trimmed(); };
    return {column(0, 4),
            column(5, 4),
            column(10, 5),
            column(16, 5),
            column(22, 5),
            column(28, 2),
            serving ? QString() : column(31, 3),
            column(35, 1),
            column(37, 1)};
}

// Every row of the demo log against the cell lines of its known answer.
TEST(CsvExportTest, DemoRowsAgreeWithTheCellLines) {
    QFile answer(Data("expected/demo-gsmr.json"));
    ASSERT_TRUE(answer.open(QIODevice::ReadOnly));
    const QJsonObject expected = QJsonDocument::fromJson(answer.readAll()).object();
    const TRun run = Inspect({"--csv", Data("demo-gsmr.ktz")});
    ASSERT_EQ(run.status, 0);
    QStringList rows = QString::fromUtf8(run.out).split("\r\n");
    ASSERT_EQ(rows.takeLast(), "");
    rows.removeFirst();

    std::map<std::pair<int, int>, QStringList> byCell;
    for (const QString& row : rows) {
        const QStringList fields = row.split(',');
        ASSERT_EQ(fields.size(), 16) << row.toStdString();
        EXPECT_EQ(fields[0], Data("demo-gsmr.ktz"));
        EXPECT_EQ(fields[13], "The signature is OK");
        EXPECT_EQ(fields[14], expected["sha256"].toString());
        EXPECT_EQ(fields[15], "");
        byCell[{fields[1].toInt(), fields[3].toInt()}] = fields;
    }
    for (const QJsonValue& value : expected["directions"].toArray()) {
        const QJsonObject direction = value.toObject();
        const int d = direction["index"].toInt();
        if (!direction["hasData"].toBool()) {
            EXPECT_EQ(byCell.count({d, 0}), 0u) << d;
            continue;
        }
        const QStringList serving = byCell.at({d, 0});
        EXPECT_EQ(serving[2], direction["time"].toString());
        QStringList servingColumns = serving.mid(4, 9);
        servingColumns[6] = QString();  // the serving line leaves C2 blank
        EXPECT_EQ(servingColumns, CellLineFields(direction["currentCell"].toString(), true)) << d;
        // Neighbour lines stand for neighbours 1..6 with a level, in cell order.
        QStringList shown;
        for (int cell = 1; cell <= 6; ++cell) {
            if (byCell.count({d, cell}) != 0) {
                shown << byCell.at({d, cell}).mid(4, 9).join('|');
            }
        }
        QStringList lines;
        for (const QJsonValue& line : direction["neighbors"].toArray()) {
            lines << CellLineFields(line.toString(), false).join('|');
        }
        EXPECT_EQ(shown, lines) << d;
    }
}

// The demo log as an editor saves it with a byte-order mark: NOT VALID in every format, exit
// status included, and every format names the change.
TEST(CsvExportTest, HarmlessChangeIsNamedBesideTheUnchangedVerdict) {
    QTemporaryDir dir;
    QFile demo(Data("demo-gsmr.ktz"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const QString path = dir.filePath("demo-bom.ktz");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF" + demo.readAll());
    file.close();

    const TRun csv = Inspect({"--csv", path});
    EXPECT_EQ(csv.status, 1);
    const QStringList rows = QString::fromUtf8(csv.out).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_GT(rows.size(), 1);
    const QStringList fields = rows[1].split(',');
    ASSERT_EQ(fields.size(), 16) << rows[1].toStdString();
    EXPECT_EQ(fields[13], "The signature is NOT VALID");
    EXPECT_EQ(fields[15], "bom-added");

    const TRun json = Inspect({"--json", path});
    EXPECT_EQ(json.status, 1);
    const QJsonObject report = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(report["verdict"].toString(), "The signature is NOT VALID");
    EXPECT_EQ(report["likelyCause"].toArray(), QJsonArray{"bom-added"});
    const QString text = report["likelyCauseText"].toString();
    EXPECT_TRUE(text.contains("byte-order mark") && text.contains("not authentic") &&
                text.contains("original file"))
        << text.toStdString();

    const TRun line = Inspect({path, Data("demo-gsmr.ktz")});
    EXPECT_EQ(line.status, 1);
    EXPECT_TRUE(QString::fromUtf8(line.out).startsWith(
        path +
        ": The signature is NOT VALID (likely cause: a byte-order mark was added before "
        "its first line; without it the signature is OK)\n" +
        Data("demo-gsmr.ktz") + ": The signature is OK\n"))
        << line.out.toStdString();
}

}  // namespace
