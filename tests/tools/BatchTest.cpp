// norva-inspect over folders: what it picks up, the order, the counts, the exit status, and
// the same output whatever the number of threads.
#include <gtest/gtest.h>

#include "tests/tools/InspectRun.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Copies a sample (by its stem) to `relative` inside `dir`, making folders on the way.
void Place(const QTemporaryDir& dir, const QString& stem, const QString& relative) {
    const QString target = dir.filePath(relative);
    QDir().mkpath(QFileInfo(target).path());
    ASSERT_TRUE(QFile::copy(Data(stem + ".ktz"), target)) << target.toStdString();
}

QStringList Lines(const QByteArray& out) {
    return QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
}

struct FolderCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> files;  // sample stem, place
    QStringList arguments;                                   // "DIR" stands for the folder
    int status;
    QStringList lines;  // relative to the folder
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class BatchFolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(BatchFolderTest, ReportsEveryLogInOrderWithTheHighestStatus) {
    const FolderCase& c = GetParam();
    QTemporaryDir dir;
    for (const auto& [stem, place] : c.files) {
        Place(dir, stem, place);
    }
    QStringList arguments;
    for (const QString& argument : c.arguments) {
        arguments << (argument == "DIR" ? "." : argument);
    }
    const TRun run = Inspect(arguments, dir.path());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(Lines(run.out), c.lines);
}

const char* const Ok = "The signature is OK";

INSTANTIATE_TEST_SUITE_P(
    Statuses, BatchFolderTest,
    testing::Values(
        FolderCase{"all_ok",
                   {{"demo-gsmr", "b.ktz"}, {"rotated-22deg", "a.KTZ"}},
                   {"DIR"},
                   0,
                   {"./a.KTZ: The signature is OK", "./b.ktz: The signature is OK",
                    "2 files: 2 OK, 0 NOT VALID, 0 could not be interpreted, 0 not checked, "
                    "0 errors"}},
        FolderCase{"not_valid",
                   {{"demo-gsmr", "1.ktz"}, {"tampered", "2.ktz"}},
                   {"DIR"},
                   1,
                   {"./1.ktz: The signature is OK", "./2.ktz: The signature is NOT VALID",
                    "2 files: 1 OK, 1 NOT VALID, 0 could not be interpreted, 0 not checked, "
                    "0 errors"}},
        FolderCase{
            "not_interpretable_and_not_checked",
            {{"tampered", "t.ktz"}, {"unsigned", "u.Ktz"}, {"old-firmware", "o.ktz"}},
            {"DIR"},
            2,
            {"./o.ktz: Not checked: software version 789 is below 790",
             "./t.ktz: The signature is NOT VALID", "./u.Ktz: The file could not be interpreted",
             "3 files: 0 OK, 1 NOT VALID, 1 could not be interpreted, 1 not checked, "
             "0 errors"}},
        FolderCase{
            "mixed_with_an_error",
            {{"demo-gsmr", "ok.ktz"},
             {"tampered", "bad.ktz"},
             {"unsigned", "plain.ktz"},
             {"demo-gsmr", "folder.ktz/inside.ktz"}},
            {"DIR", "missing.ktz"},
            3,
            {"./bad.ktz: The signature is NOT VALID", "./ok.ktz: The signature is OK",
             "./plain.ktz: The file could not be interpreted",
             "missing.ktz: Failed to load: Datei missing.ktz kann nicht ge\u00f6ffnet werden No "
             "such file or directory.",
             "4 files: 1 OK, 1 NOT VALID, 1 could not be interpreted, 0 not checked, "
             "1 error"}},
        FolderCase{
            "subfolders_only_with_recursive",
            {{"demo-gsmr", "top.ktz"}, {"tampered", "sub/deeper/t.ktz"}, {"unsigned", "sub/u.txt"}},
            {"-r", "DIR"},
            1,
            {"./sub/deeper/t.ktz: The signature is NOT VALID", "./top.ktz: The signature is OK",
             "2 files: 1 OK, 1 NOT VALID, 0 could not be interpreted, 0 not checked, "
             "0 errors"}},
        FolderCase{"subfolders_skipped_without_recursive",
                   {{"demo-gsmr", "top.ktz"}, {"tampered", "sub/t.ktz"}},
                   {"DIR"},
                   0,
                   {"./top.ktz: The signature is OK",
                    "1 file: 1 OK, 0 NOT VALID, 0 could not be interpreted, 0 not checked, "
                    "0 errors"}},
        FolderCase{"empty_folder",
                   {{"demo-gsmr", "sub/notes.txt"}},
                   {"--recursive", "DIR"},
                   3,
                   {".: Failed to load: no .ktz file in this folder or below",
                    "1 file: 0 OK, 0 NOT VALID, 0 could not be interpreted, 0 not checked, "
                    "1 error"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Enough files that several threads really interleave.
QTemporaryDir& ManyLogs() {
    static QTemporaryDir dir;
    static const bool filled = [] {
        const char* stems[] = {"demo-gsmr", "tampered", "unsigned", "rotated-22deg",
                               "old-firmware"};
        for (int i = 0; i < 60; ++i) {
            const QString name =
                QStringLiteral("f%1/log%2.ktz").arg(i % 7).arg(i, 3, 10, QChar('0'));
            Place(dir, stems[i % 5], name);
        }
        return true;
    }();
    (void)filled;
    return dir;
}

class BatchThreadsTest : public testing::TestWithParam<const char*> {};

TEST_P(BatchThreadsTest, OneThreadAndManyGiveTheSameOutput) {
    const QString mode = GetParam();
    QStringList arguments{"-r", "."};
    if (!mode.isEmpty()) {
        arguments.prepend(mode);
    }
    const TRun one = Inspect(QStringList{"-j", "1"} + arguments, ManyLogs().path());
    const TRun many = Inspect(QStringList{"-j", "8"} + arguments, ManyLogs().path());
    EXPECT_EQ(one.status, 2);
    EXPECT_EQ(many.status, one.status);
    EXPECT_GT(one.out.size(), 1000);
    EXPECT_EQ(many.out, one.out);
}

INSTANTIATE_TEST_SUITE_P(Modes, BatchThreadsTest, testing::Values("", "--json", "--csv"),
                         [](const auto& info) {
                             const std::string mode = info.param;
                             return mode.empty() ? std::string("lines") : mode.substr(2);
                         });

TEST(BatchJsonTest, FolderGivesAnArrayInFileOrder) {
    const TRun run = Inspect({"--json", "-r", "."}, ManyLogs().path());
    const QJsonArray documents = QJsonDocument::fromJson(run.out).array();
    ASSERT_EQ(documents.size(), 60);
    EXPECT_EQ(documents.first()["file"].toString(), "./f0/log000.ktz");
    EXPECT_EQ(documents.last()["file"].toString(), "./f6/log055.ktz");
}

TEST(BatchProgressTest, ShownOnRequestOnlyAndKeptOffStandardOutput) {
    const TRun quiet = Inspect({"-r", "."}, ManyLogs().path());
    const TRun asked = Inspect({"--progress", "-r", "."}, ManyLogs().path());
    EXPECT_TRUE(quiet.err.isEmpty());
    EXPECT_TRUE(asked.err.endsWith("checked 60/60\n")) << asked.err.toStdString();
    EXPECT_EQ(asked.out, quiet.out);
}

TEST(BatchUsageTest, BadCombinationsAreUsageErrors) {
    const QStringList cases[] = {{"--json", "--csv", "."},
                                 {"-j", "0", "."},
                                 {"-j", "many", "."},
                                 {"-jx", "."},
                                 {"--polar", "p.png", "."},
                                 {"-j"},
                                 {"--bars", "b.png", "a.ktz", "b.ktz"}};
    for (const QStringList& arguments : cases) {
        EXPECT_EQ(Inspect(arguments, NORVA_SAMPLES).status, 64)
            << arguments.join(' ').toStdString();
    }
    EXPECT_EQ(Inspect({"-j3", "demo-gsmr.ktz"}, NORVA_SAMPLES).status, 0);
}

// A folder of logs with names a line-based reader would trip on.
QTemporaryDir& StreamLogs() {
    static QTemporaryDir dir;
    static const bool filled = [] {
        const char* stems[] = {"demo-gsmr", "tampered", "unsigned", "old-firmware"};
        for (int i = 0; i < 120; ++i) {
            Place(dir, stems[i % 4],
                  QStringLiteral("d%1/log%2.ktz").arg(i % 3).arg(i, 3, 10, QChar('0')));
        }
        const std::filesystem::path root = dir.path().toStdString();
        std::filesystem::copy_file(Data("demo-gsmr.ktz").toStdString(), root / "odd\nname.ktz");
        std::filesystem::copy_file(Data("tampered.ktz").toStdString(), root / "bad\xff.ktz");
        std::filesystem::create_symlink(root / "gone", root / "vanished.ktz");
        return true;
    }();
    (void)filled;
    return dir;
}

TRun InspectWithInput(const QStringList& arguments, const QByteArray& input,
                      const QString& workingDirectory) {
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(NORVA_INSPECT, arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST(BatchStreamTest, JsonLinesFromAFolderAListAndStandardInputMatchTheJsonDocuments) {
    const QString dir = StreamLogs().path();
    const TRun json = Inspect({"--json", "-r", "."}, dir);
    const QJsonArray documents = QJsonDocument::fromJson(json.out).array();
    ASSERT_EQ(documents.size(), 123);
    const TRun lines = Inspect({"--jsonl", "-j", "2", "-r", "."}, dir);
    EXPECT_EQ(lines.status, 3);  // the vanished file
    const QList<QByteArray> objects = lines.out.split('\n');
    ASSERT_EQ(objects.size(), 124);
    EXPECT_TRUE(objects.last().isEmpty());
    for (qsizetype i = 0; i < documents.size(); ++i) {
        EXPECT_EQ(QJsonDocument::fromJson(objects[i]).object(), documents[i].toObject()) << i;
    }
    EXPECT_EQ(documents[0]["file"].toString(), "./bad\ufffd.ktz");
    EXPECT_EQ(documents[2]["file"].toString(), "./d0/log003.ktz");
    EXPECT_EQ(documents[121]["file"].toString(), "./odd\nname.ktz");
    EXPECT_TRUE(lines.err.contains("./vanished.ktz: Datei ./vanished.ktz kann nicht"));

    // The same paths as a NUL-separated list on standard input give the same bytes.
    QByteArray list("./bad\xff.ktz");
    list += '\0';
    for (int folder = 0; folder < 3; ++folder) {
        for (int i = folder; i < 120; i += 3) {
            list +=
                QStringLiteral("./d%1/log%2.ktz").arg(folder).arg(i, 3, 10, QChar('0')).toUtf8() +
                '\0';
        }
    }
    list += QByteArray("./odd\nname.ktz") + '\0' + "./vanished.ktz" + '\0';
    const TRun listed = InspectWithInput({"--jsonl", "--files-from", "-", "-0"}, list, dir);
    EXPECT_EQ(listed.out, lines.out);

    // A log on standard input, and one through a pipe given as a path.
    QFile demo(Data("demo-gsmr.ktz"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const TRun piped = InspectWithInput({"--jsonl", "-"}, demo.readAll(), dir);
    const QJsonObject fromStdin = QJsonDocument::fromJson(piped.out).object();
    EXPECT_EQ(fromStdin["file"].toString(), "-");
    EXPECT_EQ(fromStdin["verdict"].toString(), "The signature is OK");
    EXPECT_EQ(piped.status, 0);
}

TEST(BatchStreamTest, HumanLinesQuoteOddNamesAndCsvListsFilesWithoutCells) {
    const QString dir = StreamLogs().path();
    // Names that are not UTF-8 cannot be passed as arguments here; a list carries any bytes.
    static const char names[] = "./odd\nname.ktz\0./bad\xff.ktz\0./vanished.ktz";
    const QByteArray list(names, sizeof names);
    const TRun run = InspectWithInput({"--files-from", "-", "-0"}, list, dir);
    EXPECT_EQ(Lines(run.out).mid(0, 2),
              (QStringList{"\"./odd\\nname.ktz\": The signature is OK",
                           "./bad\u00ff.ktz: The signature is NOT VALID"}));
    const TRun csv = Inspect({"--csv", "d0/log003.ktz", "vanished.ktz"}, dir);
    const QStringList rows = QString::fromUtf8(csv.out).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1],
              "d0/log003.ktz,,,,,,,,,,,,,Not checked: software version 789 is below 790,"
              "b9eb8962550357abb6fe8dd08bd6bfa4a7719c4d26f50c7fb943548897f2771b,");
    EXPECT_TRUE(rows[2].startsWith("vanished.ktz,,,,,,,,,,,,,Failed to load: Datei vanished.ktz"))
        << rows[2].toStdString();
    EXPECT_TRUE(rows[2].endsWith(" No such file or directory.,,")) << rows[2].toStdString();
}

}  // namespace
