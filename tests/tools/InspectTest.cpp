#include <gtest/gtest.h>

#include "tests/tools/InspectRun.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

QJsonDocument ReadJson(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll());
}

class SampleJsonTest : public testing::TestWithParam<const char*> {};

// The file key holds the argument as given, so the tool runs in the data folder.
TEST_P(SampleJsonTest, MatchesTheKnownAnswer) {
    const QString sample = GetParam();
    QProcess process;
    process.setWorkingDirectory(NORVA_SAMPLES);
    process.start(NORVA_INSPECT, {"--json", sample + ".ktz"});
    ASSERT_TRUE(process.waitForFinished(60000));
    QJsonParseError error;
    const QJsonDocument got = QJsonDocument::fromJson(process.readAllStandardOutput(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonDocument want = ReadJson(Data("expected/" + sample + ".json"));
    ASSERT_TRUE(want.isObject());
    EXPECT_EQ(got, want) << got.toJson().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleJsonTest,
                         testing::Values("demo-gsmr", "old-firmware", "rotated-22deg", "tampered",
                                         "unsigned"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('-'));
                         });

TEST(InspectJsonTest, KeysComeInTheDocumentedOrder) {
    const QByteArray out = Inspect({"--json", Data("demo-gsmr.ktz")}).out;
    const std::vector<const char*> keys = {
        "\"file\"",       "\"sha256\"",          "\"duplicateOf\"",
        "\"error\"",      "\"reason\"",          "\"softwareVersion\"",
        "\"license\"",    "\"signature\"",       "\"offset\"",
        "\"angle\"",      "\"firstRecordLine\"", "\"verdict\"",
        "\"dataLoaded\"", "\"selected\"",        "\"directions\"",
        "\"index\"",      "\"hasData\"",         "\"levels\"",
        "\"time\"",       "\"selector\"",        "\"currentCell\"",
        "\"neighbors\""};
    qsizetype at = 0;
    for (const char* key : keys) {
        const qsizetype found = out.indexOf(key, at);
        ASSERT_GE(found, 0) << key << " missing or out of order";
        at = found;
    }
}

TEST(InspectJsonTest, SeveralFilesGiveAnArray) {
    const TRun run = Inspect({"--json", Data("demo-gsmr.ktz"), Data("missing.ktz")});
    const QJsonDocument doc = QJsonDocument::fromJson(run.out);
    ASSERT_TRUE(doc.isArray());
    ASSERT_EQ(doc.array().size(), 2);
    const QJsonObject missing = doc.array()[1].toObject();
    EXPECT_EQ(missing["error"].toString(),
              "Datei " + Data("missing.ktz") + " kann nicht geöffnet werden");
    EXPECT_TRUE(missing["verdict"].isNull());
    EXPECT_TRUE(missing["selected"].isNull());
    EXPECT_EQ(missing["directions"].toArray().size(), 8);
    EXPECT_EQ(run.status, 3);
}

TEST(InspectJsonTest, TextsAreDecodedFromTheCodePage) {
    QTemporaryDir dir;
    const QString path = dir.filePath("umlaut.ktz");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("LICENSE: M\xfcller \x80\x81\"\\\t\r\nSIGNATURE: x\r\n");
    file.close();
    const QJsonObject doc = QJsonDocument::fromJson(Inspect({"--json", path}).out).object();
    EXPECT_EQ(doc["license"].toString(), QString::fromUtf8("Müller €\u0081\"\\\t"));
    EXPECT_EQ(doc["file"].toString(), path);
}

TEST(InspectJsonTest, OverflowReportsThePlacedSelectors) {
    QTemporaryDir dir;
    const QString path = dir.filePath("overflow.ktz");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("SWVERSION: NG-FW 795\r\nANGLE: 1073741824\r\n");
    file.close();
    const TRun run = Inspect({"--json", path});
    const QJsonObject doc = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(doc["error"].toString(), QString::fromUtf8("Integerüberlauf"));
    const QJsonArray directions = doc["directions"].toArray();
    EXPECT_EQ(directions[0].toObject()["selector"].toArray(), (QJsonArray{53, 13}));
    EXPECT_EQ(directions[1].toObject()["selector"].toArray(), (QJsonArray{89, 35}));
    EXPECT_TRUE(directions[2].toObject()["selector"].isNull());
    EXPECT_EQ(run.status, 3);
}

struct StatusCase {
    const char* name;
    QStringList arguments;
    int status;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

class InspectStatusTest : public testing::TestWithParam<StatusCase> {};

TEST_P(InspectStatusTest, HighestStatusApplies) {
    QStringList arguments;
    for (const QString& argument : GetParam().arguments) {
        arguments << (argument.endsWith(".ktz") ? Data(argument) : argument);
    }
    const TRun run = Inspect(arguments);
    EXPECT_EQ(run.status, GetParam().status);
    if (GetParam().status == 64) {
        // One line saying what is wrong, one pointing to --help.
        EXPECT_EQ(run.err.count('\n'), 2) << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith("Try 'norva-inspect --help' for more information.\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ExitStatus, InspectStatusTest,
    testing::Values(
        StatusCase{"ok", {"demo-gsmr.ktz", "rotated-22deg.ktz"}, 0},
        StatusCase{"ok_json", {"--json", "demo-gsmr.ktz"}, 0},
        StatusCase{"not_valid", {"demo-gsmr.ktz", "tampered.ktz"}, 1},
        StatusCase{"not_interpretable", {"unsigned.ktz", "tampered.ktz"}, 2},
        StatusCase{"not_checked", {"old-firmware.ktz"}, 2},
        StatusCase{"load_error", {"missing.ktz", "unsigned.ktz"}, 3},
        StatusCase{"device_refused", {"/dev/zero", "demo-gsmr.ktz"}, 3},
        StatusCase{"no_file", {"--json"}, 64},
        StatusCase{"two_formats", {"--jsonl", "--csv", "demo-gsmr.ktz"}, 64},
        StatusCase{"nul_without_list", {"-0", "demo-gsmr.ktz"}, 64},
        StatusCase{"unknown_option", {"--jsn", "demo-gsmr.ktz"}, 64},
        StatusCase{"bad_direction", {"--direction", "8", "--bars", "x.png", "demo-gsmr.ktz"}, 64},
        StatusCase{"missing_value", {"demo-gsmr.ktz", "--polar"}, 64},
        StatusCase{"help", {"--help"}, 0}, StatusCase{"version", {"--version"}, 0},
        StatusCase{"jobs_with_equals", {"--jobs=2", "demo-gsmr.ktz", "tampered.ktz"}, 1},
        StatusCase{"jobs_glued", {"-j2", "tampered.ktz"}, 1},
        StatusCase{"grouped_short_options", {"-rj2", "demo-gsmr.ktz"}, 0},
        StatusCase{"grouped_jobs_apart", {"-rj", "1", "unsigned.ktz"}, 2},
        StatusCase{"bad_jobs_with_equals", {"--jobs=0", "demo-gsmr.ktz"}, 64},
        StatusCase{"grouped_unknown", {"-rx", "demo-gsmr.ktz"}, 64},
        StatusCase{"value_for_a_flag", {"--json=yes", "demo-gsmr.ktz"}, 64},
        StatusCase{"dash_dash_ends_options", {"--", "--json"}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// Root reads every file: the inspector then runs as an unprivileged user, for an unreadable
// file to be one.
TRun InspectUnprivileged(const QStringList& arguments, const QString& workingDirectory) {
    if (::geteuid() != 0) {
        return Inspect(arguments, workingDirectory);
    }
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(
        "setpriv",
        QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", NORVA_INSPECT} + arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// Every outcome in the same words in the lines for people, the JSON reason and the CSV
// verdict column.
TEST(InspectWordingTest, EveryOutcomeReadsAlikeInLinesJsonAndCsv) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
    const auto write = [&dir](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    };
    const auto copy = [&dir](const QString& sample, const QString& name) {
        QFile::copy(Data(sample), dir.filePath(name));
    };
    copy("demo-gsmr.ktz", "ok.ktz");
    copy("tampered.ktz", "bad.ktz");
    copy("unsigned.ktz", "plain.ktz");
    copy("old-firmware.ktz", "old.ktz");
    write("empty.ktz", "");
    write("text.ktz", "just some text\r\n");
    write("shut.ktz", "SWVERSION: NG-FW 795\r\n");
    QFile::setPermissions(dir.filePath("shut.ktz"), {});
    QDir(dir.path()).mkdir("closed");
    QFile::setPermissions(dir.filePath("closed"), {});

    const struct {
        const char* File;
        const char* Text;
        std::optional<const char*> Reason;
    } cases[] = {
        {"ok.ktz", "The signature is OK", std::nullopt},
        {"bad.ktz", "The signature is NOT VALID", std::nullopt},
        {"plain.ktz", "The file could not be interpreted", std::nullopt},
        {"empty.ktz", "Not checked: the file is empty", "the file is empty"},
        {"text.ktz", "Not checked: no software version, not a NORVA-G log",
         "no software version, not a NORVA-G log"},
        {"old.ktz", "Not checked: software version 789 is below 790",
         "software version 789 is below 790"},
        {"shut.ktz",
         "Failed to load: Datei shut.ktz kann nicht ge\u00f6ffnet werden Permission denied.",
         "Permission denied."},
        {"/dev/null",
         "Failed to load: Datei /dev/null kann nicht ge\u00f6ffnet werden It is not a regular "
         "file.",
         "It is not a regular file."},
        {"closed", "Failed to load: cannot read this folder (Permission denied)", std::nullopt},
    };
    QStringList files;
    for (const auto& c : cases) {
        files << c.File;
    }
    const TRun lines = InspectUnprivileged(files, dir.path());
    const TRun json = InspectUnprivileged(QStringList{"--jsonl"} + files, dir.path());
    const TRun csv = InspectUnprivileged(QStringList{"--csv"} + files, dir.path());
    QFile::setPermissions(dir.filePath("closed"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(lines.status, 3);
    const QStringList shown = QString::fromUtf8(lines.out).split('\n');
    const QList<QByteArray> documents = json.out.split('\n');
    QStringList csvRows = QString::fromUtf8(csv.out).split("\r\n");
    ASSERT_EQ(shown.size(), std::size(cases) + 2) << lines.out.toStdString();
    ASSERT_EQ(documents.size(), std::size(cases) + 1) << json.out.toStdString();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const QString text = QString::fromUtf8(c.Text);
        EXPECT_EQ(shown[static_cast<qsizetype>(i)], c.File + QStringLiteral(": ") + text);
        const QJsonValue reason =
            QJsonDocument::fromJson(documents[static_cast<qsizetype>(i)]).object()["reason"];
        EXPECT_EQ(reason, c.Reason ? QJsonValue(QString::fromUtf8(*c.Reason)) : QJsonValue())
            << c.File;
        const auto row = std::find_if(csvRows.begin(), csvRows.end(), [&c](const QString& r) {
            return r.startsWith(c.File + QStringLiteral(","));
        });
        ASSERT_NE(row, csvRows.end()) << c.File;
        // The verdict column, quoted when it holds a comma, then the digest column and the
        // likely cause, which no harmless change gives any of these logs.
        const QString field = text.contains(',') ? '"' + text + '"' : text;
        EXPECT_TRUE(row->contains(
            QRegularExpression("," + QRegularExpression::escape(field) + ",([0-9a-f]{64})?,$")))
            << row->toStdString();
    }
}

// The digest is of every byte of the file, also those after a NUL byte that ends the text;
// later files with the same bytes name the first, in the order given.
TEST(InspectDigestTest, IdenticalFilesNameTheFirst) {
    QTemporaryDir dir;
    QFile demo(Data("demo-gsmr.ktz"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const QByteArray bytes = demo.readAll();
    // A tail longer than one read of the loader, to be read after the text has ended.
    const QByteArray withTail = bytes + '\0' + QByteArray(3 << 20, 'x');
    for (const auto& [name, content] :
         {std::pair{"b.ktz", bytes}, std::pair{"a.ktz", bytes}, std::pair{"c.ktz", withTail}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const auto sha256 = [](const QByteArray& data) {
        return QString::fromLatin1(
            QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
    };
    const TRun json = Inspect({"--jsonl", "c.ktz", "b.ktz", "a.ktz"}, dir.path());
    const QList<QByteArray> documents = json.out.split('\n');
    ASSERT_EQ(documents.size(), 4) << json.out.toStdString();
    const QJsonObject c = QJsonDocument::fromJson(documents[0]).object();
    const QJsonObject b = QJsonDocument::fromJson(documents[1]).object();
    const QJsonObject a = QJsonDocument::fromJson(documents[2]).object();
    EXPECT_EQ(c["sha256"].toString(), sha256(withTail));
    EXPECT_EQ(b["sha256"].toString(), sha256(bytes));
    EXPECT_EQ(a["sha256"].toString(), sha256(bytes));
    EXPECT_TRUE(c["duplicateOf"].isNull());
    EXPECT_TRUE(b["duplicateOf"].isNull());
    EXPECT_EQ(a["duplicateOf"].toString(), "b.ktz");
    const TRun lines = Inspect({"c.ktz", "b.ktz", "a.ktz"}, dir.path());
    EXPECT_EQ(QString::fromUtf8(lines.out).split('\n').mid(0, 3),
              (QStringList{"c.ktz: The signature is OK", "b.ktz: The signature is OK",
                           "a.ktz: The signature is OK (same content as b.ktz)"}));
}

TEST(InspectImageTest, WritesChartsAtThePaintBoxSizes) {
    QTemporaryDir dir;
    const QString polar = dir.filePath("polar.png");
    const QString bars = dir.filePath("bars.png");
    const QString bars5 = dir.filePath("bars5.png");
    EXPECT_EQ(Inspect({"--polar", polar, "--bars", bars, Data("demo-gsmr.ktz")}).status, 0);
    EXPECT_EQ(Inspect({"--direction", "5", "--bars", bars5, Data("demo-gsmr.ktz")}).status, 0);
    const QImage polarImage(polar);
    const QImage barsImage(bars);
    const QImage bars5Image(bars5);
    EXPECT_EQ(polarImage.size(), QSize(163, 163));
    EXPECT_EQ(barsImage.size(), QSize(252, 153));
    EXPECT_EQ(bars5Image.size(), QSize(252, 153));
    EXPECT_NE(barsImage, bars5Image);
    // The serving cell's polygon colour of the demo log lies inside the chart.
    EXPECT_TRUE(polarImage.allGray() == false);
}

}  // namespace
