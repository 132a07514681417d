#include "app/LogLoader.h"

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/Errors.h"
#include "app/LogFile.h"
#include "data/Logger.h"

namespace {

constexpr int SelectorCircleRadius = 40;
constexpr int SelectorCircleOrigin = 53;  // top-left of a 13 x 13 selector at the centre

int32_t CheckedInt32(int64_t value) {
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        throw EIntOverflow();
    }
    return static_cast<int32_t>(value);
}

// Rounds to the nearest integer, halves to the even neighbour.
int RoundEven(long double value) {
    return static_cast<int>(std::nearbyint(value));
}

}  // namespace

TLogLoader::TLogLoader(ILogView& view) : View_(view) {
    for (int i = 0; i < DirectionCount; ++i) {
        Slots_[i].Selector = i;
        Slots_[i].Measurement = &Measurements_[i];
        Slots_[i].HasData = false;
    }
    PlaceDirectionSelectors(0, 45);

    NeighborChart_.AttachPaintBox(&View_.NeighborPaintBox());
    NeighborChart_.CurrentCellLabel = &View_.CurrentCellLabel();
    NeighborChart_.NeighborsLabel = &View_.NeighborsLabel();
    NeighborChart_.ShowEdgeMarkers = true;
    NeighborChart_.SetCellData(Slots_[0].Measurement);

    PolarChart_.AttachPaintBox(&View_.PolarPaintBox());
    PolarChart_.SetSlots(Slots_);
}

TPreparedLoad PrepareLoad(const std::filesystem::path& path, const TFileBytesSink& fileBytes,
                          const TLoadProgress& progress) {
    using TStep = TPreparedLoad::TStep;
    const auto tell = [&progress](double done) {
        if (progress && !progress(done)) {
            throw ELoadStopped{};
        }
    };
    TPreparedLoad prepared;
    prepared.Path = path;
    TStep step = TStep::Read;
    try {
        // Reading a large file (its pages zeroed and filled) takes about as long as signing it.
        constexpr double Read = 0.5;
        prepared.Text = ReadLogText(path, fileBytes, [&tell](std::size_t read, std::size_t size) {
            tell(Read * static_cast<double>(read) / static_cast<double>(size));
        });
        step = TStep::Scan;
        const std::string_view bytes = prepared.Text.Bytes();
        prepared.State.FirstRecordLine = -1;
        TLogHeaderScan scan(prepared.State);
        scan.Scan(bytes);
        prepared.Records = scan.Records();
        const TLogState& state = prepared.State;
        if (state.SoftwareVersion < MinimumSoftwareVersion) {
            return prepared;
        }
        step = TStep::Judge;
        prepared.Verdict = JudgeSignature(
            [&](const auto& piece) {
                ForEachSignedPiece(bytes, [&](std::string_view part) {
                    // Most pieces are stretches of the text; a line end of its own is not.
                    const std::less_equal<const char*> notAfter;
                    if (notAfter(bytes.data(), part.data()) &&
                        notAfter(part.data(), bytes.data() + bytes.size())) {
                        const auto signedBytes = static_cast<double>(part.data() - bytes.data());
                        tell(Read + (1 - Read) * signedBytes / static_cast<double>(bytes.size()));
                    }
                    piece(part);
                });
            },
            state.LicenseText, state.SignatureText);
        if (prepared.Verdict == TSignatureVerdict::NotValid) {
            tell(1);
            step = TStep::Search;
            prepared.LikelyCause = FindLikelyCause(bytes);
        }
    } catch (const ELoadStopped&) {
        throw;
    } catch (...) {
        prepared.FailedAt = step;
        prepared.Failure = std::current_exception();
    }
    return prepared;
}

void TLogLoader::LoadLogFile(const std::filesystem::path& path, const TFileBytesSink& fileBytes,
                             TPathKind kind) {
    ResetLogState();
    // A view that keeps the text gets the file's one buffer. For any other the file is read
    // in pieces, and signed while its header is scanned: no buffer of the file's size is
    // faulted in, and the file is read once unless its licence value changes late in it.
    if (View_.KeepsFileContent()) {
        ShowPreparedLoad(PrepareLoad(path, fileBytes));
    } else {
        LoadStreamed(path, fileBytes, kind);
    }
}

void TLogLoader::ShowPreparedLoad(TPreparedLoad prepared) {
    using TStep = TPreparedLoad::TStep;
    const auto raiseIfFailedAt = [&prepared](TStep step) {
        if (prepared.FailedAt == step) {
            std::rethrow_exception(prepared.Failure);
        }
    };
    raiseIfFailedAt(TStep::Read);
    TextEmpty_ = prepared.Text.Bytes().empty();
    View_.SetFileContent(prepared.Text);
    View_.SetFileName(prepared.Path);
    State_ = prepared.State;
    raiseIfFailedAt(TStep::Scan);
    if (State_.SoftwareVersion < MinimumSoftwareVersion) {
        return;
    }
    PlaceDirectionSelectors(State_.Offset, State_.Angle);
    PolarChart_.StepAngle = State_.Angle;
    PolarChart_.StartAngle = State_.Offset;
    raiseIfFailedAt(TStep::Judge);
    Verdict_ = ShowVerdict(View_, *prepared.Verdict);
    raiseIfFailedAt(TStep::Search);
    LikelyCause_ = std::move(prepared.LikelyCause);
    ShowRecords(prepared.Records);
}

void TLogLoader::LoadStreamed(const std::filesystem::path& path, const TFileBytesSink& fileBytes,
                              TPathKind kind) {
    TLogTextRuns runs(path, TLogTextRuns::DefaultBufferSize, kind);
    View_.SetFileName(path);
    State_.FirstRecordLine = -1;
    // Records that are not parsed need not be copied out of the text either.
    TLogHeaderScan scan(State_, ParseRecords_);
    TRunningSignature signing;
    const auto sign = [&](std::string_view piece) { signing.Add(piece, State_.LicenseText); };
    runs.ForEachRun(
        [&](std::string_view run) {
            TextEmpty_ = false;
            ScanAndSignRun(run, scan, sign);
        },
        fileBytes);
    const TRecordLines& records = scan.Records();
    if (State_.SoftwareVersion < MinimumSoftwareVersion) {
        return;
    }
    PlaceDirectionSelectors(State_.Offset, State_.Angle);
    PolarChart_.StepAngle = State_.Angle;
    PolarChart_.StartAngle = State_.Offset;
    const std::optional<TSignatureVerdict> signedOnTheWay =
        signing.Judge(State_.LicenseText, State_.SignatureText);
    Verdict_ = ShowVerdict(
        View_, signedOnTheWay ? *signedOnTheWay : JudgeReadingAgain(runs, records, path));
    if (Verdict_ == TSignatureVerdict::NotValid) {
        LikelyCause_ = FindLikelyCauseReadingAgain(runs, path);
    }
    ShowRecords(records);
}

// A record line at index 0 means a file without header: nothing to show.
void TLogLoader::ShowRecords(const TRecordLines& records) {
    if (State_.FirstRecordLine <= 0 || !ParseRecords_) {
        return;
    }
    FillDirectionSlots(records);
    for (const TDirectionSlot& slot : Slots_) {
        View_.EnableSelector(slot.Selector, slot.HasData);
    }
    SelectFirstDirectionWithData();
    State_.DataLoaded = true;
    pbPolarChartPaint();
}

// The second read is scanned as well: were its header or records not those of the first, the
// verdict would judge another text than the one shown.
TSignatureVerdict TLogLoader::JudgeReadingAgain(TLogTextRuns& runs, const TRecordLines& records,
                                                const std::filesystem::path& path) const {
    TLogState again;
    TLogHeaderScan rescan(again, ParseRecords_);
    bool readAgain = false;
    const auto signedText = [&](const std::function<void(std::string_view)>& piece) {
        readAgain = true;
        runs.ForEachRun([&](std::string_view run) { ScanAndSignRun(run, rescan, piece); });
    };
    const TSignatureVerdict verdict =
        JudgeSignature(signedText, State_.LicenseText, State_.SignatureText);
    if (readAgain && !(again == State_ && rescan.Records() == records)) {
        throw EFOpenError(path.string());
    }
    return verdict;
}

// Read once more, as far as a log is searched at all; a header that is not the one judged
// means the file changed meanwhile, as when judging it again. A text read in one run is still
// there as it was judged.
TLikelyCause TLogLoader::FindLikelyCauseReadingAgain(TLogTextRuns& runs,
                                                     const std::filesystem::path& path) const {
    if (const std::optional<std::string_view> judged = runs.LastPassText()) {
        return FindLikelyCause(*judged);
    }
    struct TTooLarge {};
    std::string text;
    // A file that grew since it was opened proves too large while it is read.
    const std::size_t size = runs.SizeWhenOpened();
    if (size > MaxLikelyCauseBytes) {
        return TLikelyCause{};
    }
    text.reserve(size);
    try {
        runs.ForEachRun([&text](std::string_view run) {
            if (text.size() + run.size() > MaxLikelyCauseBytes) {
                throw TTooLarge{};
            }
            text += run;
        });
    } catch (const TTooLarge&) {
        return TLikelyCause{};
    }
    TLogState again;
    ScanLogHeader(text, again);
    if (!(again == State_)) {
        throw EFOpenError(path.string());
    }
    return FindLikelyCause(text);
}

void TLogLoader::FillDirectionSlots(const TRecordLines& records) {
    for (size_t d = 0; d < records.Count; ++d) {
        TDirectionSlot& slot = Slots_[d];
        slot.Measurement->ParseLine(std::string(records.Lines[d]));
        slot.HasData = slot.Measurement->IdentityValid;
        if (slot.HasData) {
            slot.Measurement->GetStrongestLevels(slot.Levels.data(), 3);
        }
    }
}

// Directions 4..7 are never selected by the loader; with none of 0..3 holding data the
// selection and the bar chart stay as they were.
void TLogLoader::SelectFirstDirectionWithData() {
    for (int d = 0; d < 4; ++d) {
        if (Slots_[d].HasData) {
            SelectDirection(d);
            return;
        }
    }
}

void TLogLoader::ResetLogState() {
    const TDateTime now = Now();
    for (TDirectionSlot& slot : Slots_) {
        slot.Measurement->Clear(now);
        View_.EnableSelector(slot.Selector, false);
        slot.HasData = false;
    }
    State_ = TLogState{};
    NeighborChart_.Redraw();
    PolarChart_.ClearChart();
    // A file that is never checked (an old version, or a load that fails) must not
    // appear beside the previous file's verdict.
    Verdict_.reset();
    LikelyCause_.reset();
    TextEmpty_ = true;
    View_.SetFileContentColor(std::nullopt);
    View_.SetCheckResult("...");
}

void TLogLoader::PlaceDirectionSelectors(int32_t offset, int32_t angle) {
    // The places take sixteen sines and cosines; the logs of a delivery mostly share a few
    // offsets and angles, so each thread keeps the places of the last few.
    struct TPlaces {
        int32_t Offset = 0;
        int32_t Angle = 0;
        std::array<std::pair<int, int>, DirectionCount> Places{};
    };
    thread_local std::array<std::optional<TPlaces>, 4> known;
    thread_local size_t nextKnown = 0;
    for (const std::optional<TPlaces>& places : known) {
        if (places && places->Offset == offset && places->Angle == angle) {
            for (int i = 0; i < DirectionCount; ++i) {
                View_.MoveSelector(Slots_[i].Selector, places->Places[i].first,
                                   places->Places[i].second);
            }
            return;
        }
    }
    constexpr long double pi = 3.141592653589793238462643383279502884L;
    TPlaces placed{offset, angle, {}};
    for (int i = 0; i < DirectionCount; ++i) {
        const int32_t step = CheckedInt32(int64_t{angle} * i);
        const int32_t theta = CheckedInt32(int64_t{offset} + step);
        SelectorBearings_[static_cast<size_t>(i)] = theta;
        const long double radians = static_cast<long double>(theta) * pi / 180.0L;
        const int x = RoundEven(SelectorCircleRadius * std::sin(radians));
        const int y = RoundEven(SelectorCircleRadius * std::cos(radians));
        placed.Places[i] = {SelectorCircleOrigin + x, SelectorCircleOrigin - y};
        View_.MoveSelector(Slots_[i].Selector, placed.Places[i].first, placed.Places[i].second);
    }
    known[nextKnown] = placed;
    nextKnown = (nextKnown + 1) % known.size();
}

void TLogLoader::rbXClick(int index) {
    if (index < 0 || index >= DirectionCount) {
        return;
    }
    Selected_ = index;
    NeighborChart_.SetCellData(Slots_[index].Measurement);
    NeighborChart_.Redraw();
}

void TLogLoader::SelectDirection(int index) {
    if (index < 0 || index >= DirectionCount || index == Selected_) {
        return;
    }
    View_.CheckSelector(index);
    rbXClick(index);
}

void TLogLoader::pbPolarChartPaint() {
    if (!State_.DataLoaded) {
        return;
    }
    PolarChart_.SetSlots(Slots_);
    PolarChart_.Redraw();
}

void TLogLoader::pbNeighborChartPaint() {
    if (State_.DataLoaded) {
        NeighborChart_.Redraw();
    }
}
