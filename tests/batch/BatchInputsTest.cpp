// What a batch checks: the logs a walk over paths and folders gives, and the names a list of
// paths holds.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"

namespace fs = std::filesystem;

namespace {

// A folder of its own below the temporary folder, removed with all it holds.
class TScratchFolder {
  public:
    TScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "norva-batch-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("no scratch folder");
        }
        Path_ = pattern;
    }
    ~TScratchFolder() {
        std::error_code ignored;
        fs::remove_all(Path_, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const fs::path& Path() const { return Path_; }
    void Touch(const std::string& relative) const {
        fs::create_directories((Path_ / relative).parent_path());
        std::ofstream(Path_ / relative) << "LOG\r\n";
    }

  private:
    fs::path Path_;
};

// "relative/path" or "relative/path: problem", the scratch folder's path taken off.
std::vector<std::string> Walk(const TScratchFolder& root, const std::vector<std::string>& arguments,
                              bool recursive) {
    std::vector<std::string> paths;
    for (const std::string& argument : arguments) {
        paths.push_back(argument == "-" ? argument : (root.Path() / argument).string());
    }
    const std::string prefix = root.Path().string() + "/";
    std::vector<std::string> found;
    for (const TBatchInput& input : ExpandBatchInputs(paths, recursive)) {
        std::string text = input.Path.string();
        if (text.starts_with(prefix)) {
            text.erase(0, prefix.size());
        }
        found.push_back(input.Problem ? text + ": " + *input.Problem : text);
    }
    return found;
}

struct WalkCase {
    const char* name;
    std::vector<std::string> arguments;
    bool recursive;
    std::vector<std::string> inputs;
};

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.name;
}

class BatchInputSourceTest : public testing::TestWithParam<WalkCase> {};

// Byte order of names, folders walked depth first; "linked" is a link to "sub", which holds a
// link back up to the top: each folder is walked once, under the first name it is met by.
TEST_P(BatchInputSourceTest, GivesTheLogsInOrder) {
    TScratchFolder root;
    for (const char* file :
         {"b.ktz", "A.KTZ", "c.txt", "sub/x.ktz", "sub/deeper/y.KtZ", "none/notes.txt"}) {
        root.Touch(file);
    }
    fs::create_directory_symlink("..", root.Path() / "sub/loop");
    fs::create_directory_symlink("sub", root.Path() / "linked");
    EXPECT_EQ(Walk(root, GetParam().arguments, GetParam().recursive), GetParam().inputs);
}

INSTANTIATE_TEST_SUITE_P(
    Walks, BatchInputSourceTest,
    testing::Values(
        WalkCase{"folder", {"."}, false, {"./A.KTZ", "./b.ktz"}},
        WalkCase{"recursive_links_walked_once",
                 {"."},
                 true,
                 {"./A.KTZ", "./b.ktz", "./linked/deeper/y.KtZ", "./linked/x.ktz"}},
        WalkCase{"loop_below_the_argument",
                 {"sub"},
                 true,
                 {"sub/deeper/y.KtZ", "sub/loop/A.KTZ", "sub/loop/b.ktz", "sub/x.ktz"}},
        WalkCase{"files_stay_as_given",
                 {"c.txt", "missing.ktz", "-", "sub"},
                 false,
                 {"c.txt", "missing.ktz", "-", "sub/x.ktz"}},
        WalkCase{"same_folder_twice", {"sub", "linked"}, false, {"sub/x.ktz", "linked/x.ktz"}},
        WalkCase{"folder_without_logs",
                 {"none", "none"},
                 true,
                 {"none: no .ktz file in this folder or below",
                  "none: no .ktz file in this folder or below"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Root reads every folder: the case runs again as an unprivileged user.
TEST(BatchInputSourceUnreadableTest, UnreadableFolderStandsForItself) {
    if (::geteuid() == 0) {
        const fs::path self = fs::read_symlink("/proc/self/exe");
        const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups '" +
                                    self.string() +
                                    "' --gtest_filter=BatchInputSourceUnreadableTest.* 2>&1";
        std::unique_ptr<FILE, int (*)(FILE*)> child(::popen(command.c_str(), "r"), ::pclose);
        ASSERT_NE(child, nullptr);
        std::string output;
        std::array<char, 4096> buffer{};
        while (const size_t got = std::fread(buffer.data(), 1, buffer.size(), child.get())) {
            output.append(buffer.data(), got);
        }
        const int status = ::pclose(child.release());
        if (WIFEXITED(status) && (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127)) {
            GTEST_SKIP() << "cannot run as an unprivileged user (setpriv): " << output;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
        return;
    }
    TScratchFolder root;
    root.Touch("open/a.ktz");
    root.Touch("shut/b.ktz");
    fs::permissions(root.Path() / "shut", fs::perms::none);
    const std::string why = ": cannot read this folder (Permission denied)";
    EXPECT_EQ(Walk(root, {"."}, true), (std::vector<std::string>{"./open/a.ktz", "./shut" + why}));
    EXPECT_EQ(Walk(root, {"shut", "open"}, false),
              (std::vector<std::string>{"shut" + why, "open/a.ktz"}));
    fs::permissions(root.Path() / "shut", fs::perms::owner_all);
}

struct ListCase {
    const char* name;
    std::string bytes;
    bool nulSeparated;
    std::vector<std::string> names;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.name;
}

class PathListReaderTest : public testing::TestWithParam<ListCase> {};

TEST_P(PathListReaderTest, ReadsEveryName) {
    std::string bytes = GetParam().bytes;
    std::unique_ptr<FILE, int (*)(FILE*)> stream(::fmemopen(bytes.data(), bytes.size(), "rb"),
                                                 std::fclose);
    ASSERT_NE(stream, nullptr);
    TPathListReader reader(stream.get(), GetParam().nulSeparated);
    std::vector<std::string> names;
    while (std::optional<std::string> name = reader.Next()) {
        names.push_back(*name);
    }
    EXPECT_EQ(names, GetParam().names);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Separators, PathListReaderTest,
    testing::Values(
        ListCase{"lf", "a.ktz\nb c.ktz\n", false, {"a.ktz", "b c.ktz"}},
        ListCase{"crlf_and_no_last_line_end", "a.ktz\r\nb.ktz", false, {"a.ktz", "b.ktz"}},
        ListCase{"empty_lines_skipped", "\n\r\na.ktz\n\n", false, {"a.ktz"}},
        ListCase{"only_the_cr_before_lf_dropped", "a\r.ktz\r\r\n", false, {"a\r.ktz\r"}},
        ListCase{"nul", "a\nb.ktz\0c\r\n.ktz\0\0"s, true, {"a\nb.ktz", "c\r\n.ktz"}},
        ListCase{"nul_without_last", "\0x.ktz"s, true, {"x.ktz"}},
        ListCase{"empty", "", false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
