// The text box's model against a plain reference on generated texts: the lines it finds, and
// what a search finds and counts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/LogTextModel.h"

namespace {

// Lines as a reader splits them: CR LF, LF and CR each end one; the text ends at a NUL.
std::vector<std::string> ReferenceLines(const std::string& bytes) {
    const std::string text = bytes.substr(0, bytes.find('\0'));
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += text[i];
            open = true;
        }
    }
    if (open) {
        lines.push_back(line);
    }
    return lines;
}

// Matches in what the box shows of each line: its first 64 KiB.
int64_t ReferenceCount(const std::vector<std::string>& lines, const std::string& lowerNeedle) {
    int64_t count = 0;
    for (const std::string& whole : lines) {
        std::string line = whole.substr(0, TLogTextModel::MaxShownBytes);
        for (char& c : line) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        for (size_t at = line.find(lowerNeedle); at != std::string::npos;
             at = line.find(lowerNeedle, at + 1)) {
            ++count;
        }
    }
    return count;
}

// A text of random pieces: words, every kind of line end, empty lines, a NUL, long lines.
std::string GeneratedText(unsigned seed) {
    static const std::vector<std::string> pieces = {"03;967;52", "Charlie",
                                                    "charlie;",  "\r\n",
                                                    "\n",        "\r",
                                                    "\r\n\r\n",  "\n\r",
                                                    " ",         std::string(1, '\0'),
                                                    "x",         std::string(70000, 'y'),
                                                    "CHARLIE",   "SIGNATURE: TEbL",
                                                    "\x80\xe4",  "ababa"};
    std::mt19937 random(seed);
    std::string text;
    const size_t count = 1 + random() % 60;
    for (size_t i = 0; i < count; ++i) {
        const std::string& piece = pieces[random() % pieces.size()];
        // The NUL and the long line now and then, not in every text.
        if ((piece.size() == 1 && piece[0] == '\0') || piece.size() > 1000) {
            if (random() % 6 != 0) {
                continue;
            }
        }
        text += piece;
    }
    return text;
}

TEST(LogTextModelTest, LinesAndMatchesAreThoseOfAPlainReference) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        const std::string bytes = GeneratedText(seed);
        const auto model = TLogTextModel::Build(TLogText::Copy(bytes));
        ASSERT_NE(model, nullptr);
        const std::vector<std::string> lines = ReferenceLines(bytes);
        ASSERT_EQ(model->LineCount(), static_cast<int64_t>(lines.size())) << "seed " << seed;
        for (size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(model->LineBytes(static_cast<int64_t>(i)), lines[i]) << "seed " << seed;
        }
        const int64_t expected = ReferenceCount(lines, "charlie");
        const auto count = model->Count(QStringLiteral("CHARLIE"), {});
        ASSERT_TRUE(count.has_value());
        EXPECT_EQ(count->Total, expected) << "seed " << seed;
        // From the end, the next match wraps round to the first one; without a match, nothing.
        const auto first =
            model->Find(QStringLiteral("charlie"), {model->End(), model->End()}, true);
        EXPECT_EQ(first.has_value(), expected > 0) << "seed " << seed;
        if (first) {
            EXPECT_EQ(model->Text(first->From, first->To).toLower(), "charlie");
            EXPECT_EQ(model->Count(QStringLiteral("charlie"), *first)->Index, 1);
        }
        // Stepping through the matches with Find meets each counted one once, in order, also
        // where matches overlap.
        const QString overlapping = QStringLiteral("ABA");
        const int64_t total = model->Count(overlapping, {})->Total;
        TTextMatch at{model->End(), model->End()};
        for (int64_t step = 1; step <= total; ++step) {
            const auto next = model->Find(overlapping, at, true);
            ASSERT_TRUE(next.has_value()) << "seed " << seed;
            EXPECT_EQ(model->Count(overlapping, *next)->Index, step) << "seed " << seed;
            at = *next;
        }
        if (total > 0) {
            EXPECT_EQ(model->Count(overlapping, *model->Find(overlapping, at, true))->Index, 1)
                << "seed " << seed;
        }
    }
}

// Caret moves, double-click words and the copy's size over "ab  cd;ef\r\n\r\nx\n".
TEST(LogTextModelTest, CaretMovesWordsAndSizesAreAnEditors) {
    const auto model = TLogTextModel::Build(TLogText::Copy("ab  cd;ef\r\n\r\nx\n"));
    using TMove = TTextPosition (TLogTextModel::*)(TTextPosition) const;
    const struct {
        TMove Move;
        TTextPosition From;
        TTextPosition To;
    } moves[] = {
        {&TLogTextModel::NextChar, {0, 9}, {1, 0}},
        {&TLogTextModel::NextChar, {2, 1}, {2, 1}},
        {&TLogTextModel::PreviousChar, {1, 0}, {0, 9}},
        {&TLogTextModel::NextWord, {0, 0}, {0, 4}},
        {&TLogTextModel::NextWord, {0, 4}, {0, 7}},
        {&TLogTextModel::NextWord, {0, 9}, {1, 0}},
        {&TLogTextModel::PreviousWord, {0, 7}, {0, 4}},
        {&TLogTextModel::PreviousWord, {0, 4}, {0, 0}},
        {&TLogTextModel::PreviousWord, {2, 0}, {1, 0}},
    };
    for (const auto& move : moves) {
        const TTextPosition to = (*model.*move.Move)(move.From);
        EXPECT_EQ(to, move.To) << move.From.Line << ":" << move.From.Column;
    }
    const TTextPosition inWords[] = {{0, 0}, {0, 1}, {0, 2}, {0, 8}};
    const std::pair<int64_t, int64_t> words[] = {{0, 2}, {0, 2}, {0, 2}, {7, 9}};
    for (size_t i = 0; i < std::size(inWords); ++i) {
        const TTextMatch word = model->WordAt(inWords[i]);
        EXPECT_EQ(std::pair(word.From.Column, word.To.Column), words[i]) << i;
    }
    EXPECT_EQ(model->LinesDown({0, 8}, 2), (TTextPosition{2, 1}));
    EXPECT_EQ(model->ByteCount(0, 0), 11U);
    EXPECT_EQ(model->ByteCount(0, 2), 15U);
    EXPECT_EQ(model->ByteCount(1, 1), 2U);
}

// Long work stops when asked, and says that it did not finish.
TEST(LogTextModelTest, BuildingAndSearchingStopWhenAsked) {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) {
        bytes += "line without the word\r\n";
    }
    const TLogText text = TLogText::Copy(bytes);
    EXPECT_EQ(TLogTextModel::Build(text, [](double) { return false; }), nullptr);
    const auto model = TLogTextModel::Build(text);
    const auto stop = [](double) { return false; };
    EXPECT_FALSE(model->Find(QStringLiteral("nowhere"), {}, true, stop).has_value());
    EXPECT_FALSE(model->Count(QStringLiteral("word"), {}, stop).has_value());
    EXPECT_EQ(model->Count(QStringLiteral("word"), {})->Total, 200000);
}

}  // namespace
