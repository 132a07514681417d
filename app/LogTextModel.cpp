#include "app/LogTextModel.h"

#include <algorithm>

#include <QStringList>
#include <string>

#include "app/Cp1252.h"

namespace {

constexpr int TabWidth = 8;
// Lines between two questions to a progress callback.
constexpr int64_t ProgressLines = 4096;

QString ExpandTabs(const QString& text) {
    if (!text.contains(QLatin1Char('\t'))) {
        return text;
    }
    QString expanded;
    for (const QChar c : text) {
        if (c == QLatin1Char('\t')) {
            expanded += QString(TabWidth - expanded.size() % TabWidth, QLatin1Char(' '));
        } else {
            expanded += c;
        }
    }
    return expanded;
}

QString Decoded(std::string_view bytes) {
    return ExpandTabs(QString::fromStdString(Cp1252ToUtf8(std::string(bytes))));
}

bool IsWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool GoOn(const TTextProgress& progress, int64_t line, int64_t lines) {
    return !progress || line % ProgressLines != 0 ||
           progress(lines > 0 ? static_cast<double>(line) / static_cast<double>(lines) : 1.0);
}

}  // namespace

std::shared_ptr<const TLogTextModel> TLogTextModel::Build(const TLogText& text,
                                                          const TTextProgress& progress) {
    auto model = std::make_shared<TLogTextModel>();
    const std::string_view bytes = text.Bytes();
    model->Starts_.clear();
    TLineCursor cursor(bytes);
    std::string_view line;
    while (cursor.Next(line)) {
        const auto start = static_cast<uint64_t>(line.data() - bytes.data());
        if (progress && model->Starts_.size() % (16 * ProgressLines) == 0 &&
            !progress(bytes.empty() ? 1.0 : static_cast<double>(start) / bytes.size())) {
            return nullptr;
        }
        model->Starts_.push_back(start);
        model->LongestLine_ = std::max<uint64_t>(model->LongestLine_, line.size());
    }
    model->Starts_.push_back(bytes.size());
    model->Text_ = text;
    return model;
}

std::string_view TLogTextModel::LineBytes(int64_t line) const {
    if (line < 0 || line >= LineCount()) {
        return {};
    }
    const auto start = static_cast<size_t>(Starts_[static_cast<size_t>(line)]);
    std::string_view bytes = Text_.Bytes().substr(
        start, static_cast<size_t>(Starts_[static_cast<size_t>(line) + 1]) - start);
    // A line holds no CR or LF of its own: what there is of them ends it.
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) {
        bytes.remove_suffix(1);
    }
    return bytes;
}

QString TLogTextModel::LineText(int64_t line) const {
    return Decoded(LineBytes(line).substr(0, MaxShownBytes));
}

QString TLogTextModel::FullLineText(int64_t line) const {
    return Decoded(LineBytes(line));
}

uint64_t TLogTextModel::ByteCount(int64_t first, int64_t last) const {
    first = std::clamp<int64_t>(first, 0, LineCount());
    last = std::clamp<int64_t>(last + 1, first, LineCount());
    return Starts_[static_cast<size_t>(last)] - Starts_[static_cast<size_t>(first)];
}

QString TLogTextModel::Text(TTextPosition from, TTextPosition to) const {
    if (to < from) {
        std::swap(from, to);
    }
    QStringList lines;
    for (int64_t line = from.Line; line <= to.Line && line < LineCount(); ++line) {
        const QString text = FullLineText(line);
        const qsizetype first = line == from.Line ? static_cast<qsizetype>(from.Column) : 0;
        const bool toEnd = line != to.Line || to.Column >= LineLength(line);
        const qsizetype last = toEnd ? text.size() : static_cast<qsizetype>(to.Column);
        lines.append(text.mid(first, std::max<qsizetype>(0, last - first)));
    }
    return lines.join(QLatin1Char('\n'));
}

TTextPosition TLogTextModel::End() const {
    const int64_t last = std::max<int64_t>(0, LineCount() - 1);
    return {last, LineLength(last)};
}

TTextPosition TLogTextModel::NextChar(TTextPosition at) const {
    if (at.Column < LineLength(at.Line)) {
        return {at.Line, at.Column + 1};
    }
    return at.Line + 1 < LineCount() ? TTextPosition{at.Line + 1, 0} : at;
}

TTextPosition TLogTextModel::PreviousChar(TTextPosition at) const {
    if (at.Column > 0) {
        return {at.Line, at.Column - 1};
    }
    return at.Line > 0 ? LineEnd({at.Line - 1, 0}) : at;
}

TTextPosition TLogTextModel::NextWord(TTextPosition at) const {
    const QString text = LineText(at.Line);
    qsizetype column = static_cast<qsizetype>(at.Column);
    if (column >= text.size()) {
        return NextChar(at);
    }
    while (column < text.size() && IsWordCharacter(text[column])) {
        ++column;
    }
    while (column < text.size() && !IsWordCharacter(text[column])) {
        ++column;
    }
    return {at.Line, column};
}

TTextPosition TLogTextModel::PreviousWord(TTextPosition at) const {
    const QString text = LineText(at.Line);
    qsizetype column = std::min(static_cast<qsizetype>(at.Column), text.size());
    if (column == 0) {
        return PreviousChar(at);
    }
    while (column > 0 && !IsWordCharacter(text[column - 1])) {
        --column;
    }
    while (column > 0 && IsWordCharacter(text[column - 1])) {
        --column;
    }
    return {at.Line, column};
}

TTextPosition TLogTextModel::LinesDown(TTextPosition at, int64_t lines) const {
    const int64_t line =
        std::clamp<int64_t>(at.Line + lines, 0, std::max<int64_t>(0, LineCount() - 1));
    return {line, std::min(at.Column, LineLength(line))};
}

TTextPosition TLogTextModel::LinesUp(TTextPosition at, int64_t lines) const {
    return LinesDown(at, -lines);
}

TTextMatch TLogTextModel::WordAt(TTextPosition at) const {
    const QString text = LineText(at.Line);
    qsizetype first = std::min(static_cast<qsizetype>(at.Column), text.size());
    qsizetype last = first;
    while (first > 0 && IsWordCharacter(text[first - 1])) {
        --first;
    }
    while (last < text.size() && IsWordCharacter(text[last])) {
        ++last;
    }
    return {{at.Line, first}, {at.Line, last}};
}

// Line by line from the current match, wrapping around the end of the text once.
std::optional<TTextMatch> TLogTextModel::Find(const QString& text, TTextMatch current, bool forward,
                                              const TTextProgress& progress) const {
    const int64_t count = LineCount();
    if (text.isEmpty() || count == 0) {
        return std::nullopt;
    }
    const TTextPosition from = std::min(current.From, current.To);
    const TTextPosition to = std::max(current.From, current.To);
    for (int64_t step = 0; step <= count; ++step) {
        if (!GoOn(progress, step, count)) {
            return std::nullopt;
        }
        const int64_t line =
            forward ? (to.Line + step) % count : ((from.Line - step) % count + count) % count;
        const QString shown = LineText(line);
        qsizetype at = -1;
        if (forward) {
            const qsizetype start = step == 0 ? static_cast<qsizetype>(to.Column) : 0;
            at = shown.indexOf(text, start, Qt::CaseInsensitive);
        } else if (step > 0 || from.Column > 0) {
            const qsizetype start = step == 0 ? static_cast<qsizetype>(from.Column) - 1 : -1;
            at = shown.lastIndexOf(text, start, Qt::CaseInsensitive);
        }
        if (step == count && at >= 0 &&
            ((forward && at >= to.Column) || (!forward && at < from.Column))) {
            at = -1;  // back where the search began
        }
        if (at >= 0) {
            return TTextMatch{{line, at}, {line, at + text.size()}};
        }
    }
    return std::nullopt;
}

std::optional<TLogTextModel::TCount> TLogTextModel::Count(const QString& text, TTextMatch current,
                                                          const TTextProgress& progress) const {
    TCount count;
    if (text.isEmpty()) {
        return count;
    }
    // Counted as Find steps through them: the next match begins after the end of this one.
    const int64_t lines = LineCount();
    for (int64_t line = 0; line < lines; ++line) {
        if (!GoOn(progress, line, lines)) {
            return std::nullopt;
        }
        const QString shown = LineText(line);
        for (qsizetype at = shown.indexOf(text, 0, Qt::CaseInsensitive); at >= 0;
             at = shown.indexOf(text, at + text.size(), Qt::CaseInsensitive)) {
            ++count.Total;
            if (current.From == TTextPosition{line, at}) {
                count.Index = count.Total;
            }
        }
    }
    return count;
}
