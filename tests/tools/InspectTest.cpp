#include <gtest/gtest.h>

#include "tests/tools/InspectRun.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <vector>

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
