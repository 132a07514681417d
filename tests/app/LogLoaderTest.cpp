#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/Errors.h"
#include "app/LogFile.h"
#include "app/LogLoader.h"
#include "tests/app/RecordingView.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

Lines SampleLines(const std::string& name) {
    return SplitLogLines(testsupport::ReadFile(testsupport::TestDataPath(NORVA_SAMPLES, name)));
}

std::string Joined(const Lines& lines, const std::string& end = "\r\n") {
    std::string text;
    for (const std::string& line : lines) {
        text += line + end;
    }
    return text;
}

// Demo log: header lines 0..8, records 9..16, "99;END" 17, signature 18.
constexpr int DemoFirstRecord = 9;

class LogLoaderTest : public testing::Test {
  protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("norva-loader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }

    fs::path Write(const std::string& name, const std::string& bytes) {
        const fs::path path = Dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    fs::path Sample(const std::string& name) { return fs::path(NORVA_SAMPLES) / name; }

    void Load(const fs::path& path) {
        View.Calls.clear();
        Loader.LoadLogFile(path);
    }
    std::vector<bool> HasData() const {
        std::vector<bool> flags;
        for (const TDirectionSlot& slot : Loader.DirectionSlots()) {
            flags.push_back(slot.HasData);
        }
        return flags;
    }

    fs::path Dir;
    TRecordingView View;
    TLogLoader Loader{View};
};

const Lines ResetCalls = {"disable 0",  "disable 1",   "disable 2",    "disable 3",
                          "disable 4",  "disable 5",   "disable 6",    "disable 7",
                          "bars image", "polar image", "color normal", "check ..."};

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Lines DefaultPlacement = {"move 0 53 13", "move 1 81 25", "move 2 93 53", "move 3 81 81",
                                "move 4 53 93", "move 5 25 81", "move 6 13 53", "move 7 25 25"};

}  // namespace

TEST_F(LogLoaderTest, CreationPlacesSelectorsAtTheDefaultBearings) {
    TRecordingView view;
    TLogLoader loader(view);
    EXPECT_EQ(view.Calls, DefaultPlacement);
    EXPECT_FALSE(loader.State().DataLoaded);
    EXPECT_EQ(loader.SelectedDirection(), -1);
}

TEST_F(LogLoaderTest, FullLoadRunsTheStepsInOrder) {
    const fs::path path = Write("nosig.ktz", Joined(SampleLines("unsigned.ktz")));
    Load(path);
    const Lines expected =
        Concat({ResetCalls,
                {"content 18", "name " + path.string()},
                DefaultPlacement,
                {"color #ffffd0", "check The file could not be interpreted"},
                {"enable 0", "enable 1", "enable 2", "enable 3", "enable 4", "enable 5", "enable 6",
                 "enable 7", "select 0", "bars image", "polar image"}});
    EXPECT_EQ(View.Calls, expected);
    EXPECT_TRUE(Loader.State().DataLoaded);
    EXPECT_EQ(Loader.SelectedDirection(), 0);
    EXPECT_EQ(Loader.State().FirstRecordLine, DemoFirstRecord);
    EXPECT_EQ(Loader.State().SoftwareVersion, 795);
    EXPECT_EQ(Loader.State().LicenseText, "NRVG-8D 41873 / Bahnfunk Messdienst Nord");
    EXPECT_EQ(Loader.DirectionSlots()[0].Levels, (std::array<int32_t, 4>{52, 64, 79, 86}));
    EXPECT_EQ(Loader.DirectionSlots()[7].Levels, (std::array<int32_t, 4>{62, 64, 86, 90}));
    EXPECT_EQ(View.CurrentCell.Text, " 967  -52 DE-10  4711  1004 21     7 G");
    // The window and norva-inspect show EDGE marks: the E neighbour on channel 753 has its
    // marker above its bar, where the chart would otherwise be white.
    EXPECT_EQ(View.Neighbor.Last.pixel(95, 49), qRgb(0, 0, 0));
    EXPECT_EQ(View.Neighbor.Last.pixel(95, 48), qRgb(255, 255, 255));
    EXPECT_EQ(Loader.PolarChart().StartAngle, 0);
    EXPECT_EQ(Loader.PolarChart().StepAngle, 45);
}

TEST_F(LogLoaderTest, HeaderAngleAndOffsetMoveSelectorsAndChart) {
    Load(Sample("rotated-22deg.ktz"));
    const Lines moves = View.CallsStartingWith("move");
    ASSERT_EQ(moves.size(), 8u);
    EXPECT_EQ(moves[0], "move 0 68 16");
    EXPECT_EQ(Loader.PolarChart().StartAngle, 22);
    EXPECT_EQ(Loader.PolarChart().StepAngle, 45);
}

TEST_F(LogLoaderTest, VersionBelow790ShowsOnlyTheText) {
    const fs::path path = Sample("old-firmware.ktz");
    Load(Sample("unsigned.ktz"));
    Load(path);
    EXPECT_EQ(View.Calls, Concat({ResetCalls, {"content 17", "name " + path.string()}}));
    EXPECT_FALSE(Loader.State().DataLoaded);
    EXPECT_EQ(Loader.State().SoftwareVersion, 789);
    EXPECT_EQ(Loader.State().FirstRecordLine, 8);
    EXPECT_FALSE(Loader.Verdict().has_value());
    // The previous file's verdict must not stay beside a file that was never checked.
    EXPECT_EQ(View.CheckResult, "...");
    EXPECT_FALSE(View.Color.has_value());
    EXPECT_EQ(HasData(), std::vector<bool>(8, false));
    EXPECT_EQ(View.CurrentCell.Text, "");  // the reset emptied the shown record
}

TEST_F(LogLoaderTest, Version790IsLoaded) {
    Lines lines = SampleLines("unsigned.ktz");
    lines[2] = "SWVERSION: NG-FW 790";
    Load(Write("v790.ktz", Joined(lines)));
    EXPECT_TRUE(Loader.State().DataLoaded);
    lines[2] = "SWVERSION: 795";  // too short: version 0
    Load(Write("short.ktz", Joined(lines)));
    EXPECT_FALSE(Loader.State().DataLoaded);
    EXPECT_EQ(Loader.State().SoftwareVersion, 0);
}

TEST_F(LogLoaderTest, RecordLineAtIndexZeroGivesVerdictButNoData) {
    Lines lines = SampleLines("unsigned.ktz");
    Lines records(lines.begin() + DemoFirstRecord, lines.begin() + DemoFirstRecord + 8);
    records.push_back("SWVERSION: NG-FW 795");
    records.push_back("LICENSE: x");
    Load(Write("first.ktz", Joined(records)));
    EXPECT_EQ(Loader.State().FirstRecordLine, 0);
    EXPECT_FALSE(Loader.State().DataLoaded);
    EXPECT_EQ(View.CheckResult, "The file could not be interpreted");
    EXPECT_EQ(View.CallsStartingWith("move").size(), 8u);
    EXPECT_TRUE(View.CallsStartingWith("enable").empty());
    EXPECT_EQ(HasData(), std::vector<bool>(8, false));
}

TEST_F(LogLoaderTest, OnlyFiveRecordLinesLeaveTheRestWithoutData) {
    Lines lines = SampleLines("unsigned.ktz");
    lines.resize(DemoFirstRecord + 5);
    Load(Write("five.ktz", Joined(lines)));
    EXPECT_EQ(HasData(), (std::vector<bool>{true, true, true, true, true, false, false, false}));
    EXPECT_EQ(View.CallsStartingWith("enable"),
              (Lines{"enable 0", "enable 1", "enable 2", "enable 3", "enable 4"}));
    EXPECT_EQ(View.CallsStartingWith("disable").size(), 8u + 3u);
    EXPECT_TRUE(Loader.State().DataLoaded);
}

struct ShownDirection {
    std::string CurrentCell;
    std::string Neighbors;
    QImage Bars;
};

// What the bar chart and its labels show for `direction` of the last of `paths`, reached by a
// click after each load (the axes remember every record drawn before).
ShownDirection ShownAfterClicks(const std::vector<fs::path>& paths, int direction) {
    TRecordingView view;
    TLogLoader loader(view);
    for (const fs::path& path : paths) {
        loader.LoadLogFile(path);
        loader.rbXClick(direction);
    }
    return {view.CurrentCell.Text, view.Neighbors.Text, view.Neighbor.Last};
}

// The first of directions 0..3 with data is selected, none when only 4..7 have data. A second
// load that leaves the selection as it was must still show its own record once the chart
// paints, as the window's paint does after every load.
TEST_F(LogLoaderTest, SelectsTheFirstOfDirections0To3WithData) {
    struct Row {
        int unusable;  // directions 0 .. unusable-1 carry no record
        int shown;     // the direction the bar chart shows afterwards
        const char* firstCell;
        const char* secondCell;
    };
    const Row rows[] = {
        {0, 0, " 967  -52 DE-10  4711  1004 21     7 G", " 973  -51 DE-10  4711  1030 10     2 G"},
        {1, 1, " 970  -73 DE-10  4711  1044 31     6 G", " 964  -80 DE-10  4711  1045 37     5 E"},
        {2, 2, " 970  -52 DE-10  4711  1100 10     2 G", " 967  -88 DE-10  4711  1104 12     4 G"},
        {3, 3, " 955  -67 DE-10  4711  1139  9     1 G", " 964  -74 DE-10  4711  1112 15     6 E"},
        {4, 6, " 973  -68 DE-10  4711  1248 24     5 E", " 958  -52 DE-10  4711  1244 27     0 G"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.unusable);
        std::vector<fs::path> files;
        for (const char* name : {"unsigned.ktz", "rotated-22deg.ktz"}) {
            Lines lines = SampleLines(name);
            const auto first = std::find_if(lines.begin(), lines.end(), [](const auto& line) {
                return line.rfind("03;", 0) == 0;
            });
            std::fill_n(first, row.unusable, "03;not a record");
            files.push_back(Write(std::to_string(row.unusable) + name, Joined(lines)));
        }
        TRecordingView view;
        TLogLoader loader(view);
        loader.rbXClick(6);
        for (std::size_t file = 0; file < files.size(); ++file) {
            view.Calls.clear();
            loader.LoadLogFile(files[file]);
            const bool selects = row.unusable < 4 && file == 0;
            EXPECT_EQ(view.CallsStartingWith("select"),
                      selects ? Lines{"select " + std::to_string(row.shown)} : Lines{});
            EXPECT_EQ(loader.SelectedDirection(), row.shown);
            loader.pbNeighborChartPaint();
            EXPECT_EQ(view.CurrentCell.Text, file == 0 ? row.firstCell : row.secondCell);
            const ShownDirection clicked = ShownAfterClicks(
                std::vector<fs::path>(files.begin(), files.begin() + file + 1), row.shown);
            EXPECT_EQ(view.Neighbors.Text, clicked.Neighbors);
            EXPECT_EQ(view.Neighbor.Last, clicked.Bars);
        }
    }
}

TEST_F(LogLoaderTest, SelectingTheSelectedDirectionAgainDoesNothing) {
    Load(Sample("unsigned.ktz"));
    View.Calls.clear();
    Loader.SelectDirection(0);
    EXPECT_TRUE(View.Calls.empty());
    Loader.SelectDirection(3);
    EXPECT_EQ(View.Calls, (Lines{"select 3", "bars image"}));
    Loader.rbXClick(3);  // a user's click always redraws
    EXPECT_EQ(View.Calls.back(), "bars image");
    EXPECT_EQ(View.Calls.size(), 3u);
    Load(Sample("unsigned.ktz"));
    EXPECT_EQ(View.CallsStartingWith("select"), Lines{"select 0"});
}

struct PlacementCase {
    const char* name;
    int32_t offset;
    int32_t angle;
    Lines moves;
    bool overflows;
};

void PrintTo(const PlacementCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaceDirectionSelectorsTest : public testing::TestWithParam<PlacementCase> {};

TEST_P(PlaceDirectionSelectorsTest, MovesSelectorsOntoTheCircle) {
    TRecordingView view;
    TLogLoader loader(view);
    view.Calls.clear();
    const PlacementCase& c = GetParam();
    if (c.overflows) {
        EXPECT_THROW(
            {
                try {
                    loader.PlaceDirectionSelectors(c.offset, c.angle);
                } catch (const EIntOverflow& e) {
                    EXPECT_STREQ(e.what(), "Integerüberlauf");
                    throw;
                }
            },
            EIntOverflow);
    } else {
        loader.PlaceDirectionSelectors(c.offset, c.angle);
    }
    EXPECT_EQ(view.Calls, c.moves);
}

INSTANTIATE_TEST_SUITE_P(
    Bearings, PlaceDirectionSelectorsTest,
    testing::Values(
        PlacementCase{"default", 0, 45, DefaultPlacement, false},
        PlacementCase{"zero_angle_stacks_on_top",
                      0,
                      0,
                      {"move 0 53 13", "move 1 53 13", "move 2 53 13", "move 3 53 13",
                       "move 4 53 13", "move 5 53 13", "move 6 53 13", "move 7 53 13"},
                      false},
        PlacementCase{"rotated",
                      22,
                      90,
                      {"move 0 68 16", "move 1 90 68", "move 2 38 90", "move 3 16 38",
                       "move 4 68 16", "move 5 90 68", "move 6 38 90", "move 7 16 38"},
                      false},
        PlacementCase{"negative_full_turns",
                      -720,
                      -45,
                      {"move 0 53 13", "move 1 25 25", "move 2 13 53", "move 3 25 81",
                       "move 4 53 93", "move 5 81 81", "move 6 93 53", "move 7 81 25"},
                      false},
        PlacementCase{"angle_overflows_at_direction_2",
                      0,
                      2147483647,
                      {"move 0 53 13", "move 1 85 77"},
                      true},
        PlacementCase{
            "offset_plus_angle_overflows_at_direction_1", 2147483647, 1, {"move 0 85 77"}, true},
        PlacementCase{"negative_overflow", -2147483647 - 1, -1, {"move 0 21 78"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogLoaderTest, OverflowStopsTheLoadAfterTheMovedSelectors) {
    Lines lines = SampleLines("demo-gsmr.ktz");
    lines[7] = "ANGLE: 1073741824";  // 2^30: direction 2 leaves the 32-bit range
    const fs::path path = Write("overflow.ktz", Joined(lines));
    View.Calls.clear();
    try {
        Loader.LoadLogFile(path);
        FAIL() << "no overflow raised";
    } catch (const EIntOverflow& e) {
        EXPECT_STREQ(e.what(), "Integerüberlauf");
    }
    const Lines expected = Concat(
        {ResetCalls, {"content 19", "name " + path.string()}, {"move 0 53 13", "move 1 89 35"}});
    EXPECT_EQ(View.Calls, expected);
    EXPECT_FALSE(Loader.State().DataLoaded);
    EXPECT_FALSE(Loader.Verdict().has_value());
    EXPECT_EQ(HasData(), std::vector<bool>(8, false));
}

TEST_F(LogLoaderTest, UnreadablePathsRaiseTheFileErrorAfterTheReset) {
    Load(Sample("unsigned.ktz"));
    for (const fs::path& path : {Dir / "missing.ktz", Dir, fs::path("/dev/zero")}) {
        View.Calls.clear();
        try {
            Loader.LoadLogFile(path);
            FAIL() << "no error for " << path;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Datei " + path.string() + " kann nicht geöffnet werden");
        }
        EXPECT_EQ(View.Calls, ResetCalls);
        EXPECT_FALSE(Loader.State().DataLoaded);
        EXPECT_EQ(Loader.State().LicenseText, "");
        EXPECT_EQ(HasData(), std::vector<bool>(8, false));
    }
    Load(Sample("unsigned.ktz"));
    EXPECT_TRUE(Loader.State().DataLoaded);
}

TEST_F(LogLoaderTest, SecondLoadStartsFromNothing) {
    Load(Sample("demo-gsmr.ktz"));
    Lines lines = SampleLines("demo-gsmr.ktz");
    lines.pop_back();  // drop the signature line
    lines[1] = "LICENSE: other";
    lines[6] = "OFFSET: 10";
    lines.erase(lines.begin() + DemoFirstRecord + 3, lines.end());
    Load(Write("second.ktz", Joined(lines)));
    EXPECT_EQ(Loader.State().SignatureText, "");
    EXPECT_EQ(Loader.State().LicenseText, "other");
    EXPECT_EQ(Loader.State().Offset, 10);
    EXPECT_EQ(View.CheckResult, "The file could not be interpreted");
    EXPECT_EQ(Loader.Verdict(), TSignatureVerdict::NotInterpretable);
    EXPECT_EQ(HasData(), (std::vector<bool>{true, true, true, false, false, false, false, false}));
    EXPECT_EQ(Loader.PolarChart().StartAngle, 10);
}

TEST_F(LogLoaderTest, BadInputNeverBreaksTheNextLoad) {
    std::mt19937 random(7);
    std::string binary(1 << 16, '\0');
    for (char& c : binary) {
        c = static_cast<char>(random());
    }
    Lines demo = SampleLines("unsigned.ktz");
    std::string wideRecord = demo[DemoFirstRecord];
    for (int i = 0; i < 90; ++i) {
        wideRecord += ";16";
    }
    Lines wide = demo;
    wide[DemoFirstRecord] = wideRecord;
    Lines absurd = demo;
    absurd[6] = "OFFSET: 99999999999";
    absurd[7] = "ANGLE: $FFFFFFFF";
    Lines withNul = demo;
    withNul[DemoFirstRecord + 2] = std::string("03;\0tail", 8);
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"empty", ""},
        {"binary", binary},
        {"nul", Joined(withNul)},
        {"megabyte_line", "SWVERSION: NG-FW 795\r\nLICENSE: " + std::string(1 << 20, 'x') + "\r\n" +
                              Joined(Lines(demo.begin() + 8, demo.end()))},
        {"wide_record", Joined(wide)},
        {"absurd_header", Joined(absurd)},
        {"only_keys", "LICENSE:\nSIGNATURE:\nSWVERSION:\nOFFSET:\nANGLE:\n03;\n"},
    };
    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        EXPECT_NO_THROW(Load(Write(name + ".ktz", bytes)));
        Load(Sample("unsigned.ktz"));
        EXPECT_TRUE(Loader.State().DataLoaded);
        EXPECT_EQ(HasData(), std::vector<bool>(8, true));
    }
    Load(Write("nul.ktz", Joined(withNul)));
    EXPECT_EQ(HasData(), (std::vector<bool>{true, true, false, false, false, false, false, false}));
    Load(Write("wide.ktz", Joined(wide)));
    EXPECT_TRUE(Loader.DirectionSlots()[0].HasData);
    Load(Write("absurd.ktz", Joined(absurd)));
    EXPECT_EQ(Loader.State().Angle, -1);
    EXPECT_EQ(Loader.State().Offset, 0);
    EXPECT_TRUE(Loader.State().DataLoaded);
}

TEST_F(LogLoaderTest, ManySignatureLinesAreRemovedInOnePass) {
    Lines lines = SampleLines("unsigned.ktz");
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line + "\r\n";
        for (int i = 0; i < 20000; ++i) {
            bytes += "SIGNATURE: x\n";
        }
    }
    bytes += "SIGNATURE: last\n";
    Load(Write("signatures.ktz", bytes));
    EXPECT_EQ(View.Content.size(), lines.size() * 20001 + 1);
    EXPECT_EQ(Loader.State().SignatureText, "last");
    EXPECT_EQ(Loader.State().FirstRecordLine, DemoFirstRecord);
    EXPECT_EQ(HasData(), std::vector<bool>(8, true));
}
