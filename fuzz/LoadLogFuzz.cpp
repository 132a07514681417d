// The whole load of arbitrary bytes, as the window does it, through a view that keeps only
// what the checks need. The bytes live in an anonymous in-memory file, so the loader reads
// them through its usual path without touching the disk.
//
// With NORVA_FUZZ_SKIP_PIXELS=1 in the environment the charts get paint boxes without pixels:
// parsing, the signature, the text lines and the axis memory run as always, and the chart
// geometry is planned here from the loader's state, but nothing is rasterised.

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/Errors.h"
#include "app/LogFile.h"
#include "app/LogLoader.h"
#include "app/LogView.h"
#include "charts/Bands.h"
#include "charts/BarChart.h"
#include "charts/PolarChart.h"
#include "drawing/ChartImage.h"
#include "fuzz/FuzzSupport.h"

namespace {

class TDiscardPaintBox : public TPaintBox {
  public:
    TDiscardPaintBox(int width, int height) : Width_(width), Height_(height) {}
    int Width() const override { return Width_; }
    int Height() const override { return Height_; }
    void ShowChart(const TChartCanvas& chart) override {
        const QImage image = ChartImage(chart);
        FUZZ_CHECK(image.width() >= Width_ && image.height() >= Height_);
    }

  private:
    int Width_;
    int Height_;
};

class TDiscardLabel : public TTextLabel {
  public:
    void SetText(const std::string&) override {}
};

bool SkipPixels() {
    static const bool skip = [] {
        const char* value = std::getenv("NORVA_FUZZ_SKIP_PIXELS");
        return value != nullptr && std::string_view(value) == "1";
    }();
    return skip;
}

class TDiscardView : public ILogView {
  public:
    void SetFileContent(const TLogText& text) override {
        LineCount = SplitLogLines(text.Bytes()).size();
    }
    void SetFileContentColor(std::optional<TRgb>) override {}
    void SetFileName(const std::filesystem::path&) override {}
    void SetCheckResult(const std::string& text) override { CheckResult = text; }
    void MoveSelector(int index, int, int) override { FUZZ_CHECK(ValidIndex(index)); }
    void EnableSelector(int index, bool enabled) override {
        FUZZ_CHECK(ValidIndex(index));
        Enabled[static_cast<size_t>(index)] = enabled;
    }
    void CheckSelector(int index) override {
        FUZZ_CHECK(ValidIndex(index));
        Checked = index;
    }
    TPaintBox& PolarPaintBox() override { return Polar_; }
    TPaintBox& NeighborPaintBox() override { return Neighbor_; }
    TTextLabel& CurrentCellLabel() override { return Label_; }
    TTextLabel& NeighborsLabel() override { return Label_; }

    std::optional<size_t> LineCount;
    std::string CheckResult;
    std::array<bool, DirectionCount> Enabled{};
    int Checked = -1;

  private:
    static bool ValidIndex(int index) { return index >= 0 && index < DirectionCount; }

    TDiscardPaintBox Polar_{SkipPixels() ? 0 : PolarChartSize.width(),
                            SkipPixels() ? 0 : PolarChartSize.height()};
    TDiscardPaintBox Neighbor_{SkipPixels() ? 0 : BarChartSize.width(),
                               SkipPixels() ? 0 : BarChartSize.height()};
    TDiscardLabel Label_;
};

// One anonymous file for the whole run, rewritten for each input.
class TMemoryFile {
  public:
    TMemoryFile() : Fd_(memfd_create("norva-fuzz-log", 0)) { FUZZ_CHECK(Fd_ >= 0); }
    ~TMemoryFile() { close(Fd_); }
    TMemoryFile(const TMemoryFile&) = delete;
    TMemoryFile& operator=(const TMemoryFile&) = delete;

    std::filesystem::path Hold(const uint8_t* data, size_t size) {
        FUZZ_CHECK(ftruncate(Fd_, 0) == 0);
        size_t written = 0;
        while (written < size) {
            const ssize_t n =
                pwrite(Fd_, data + written, size - written, static_cast<off_t>(written));
            FUZZ_CHECK(n > 0);
            written += static_cast<size_t>(n);
        }
        return "/proc/self/fd/" + std::to_string(Fd_);
    }

  private:
    int Fd_;
};

// Whether placing the selectors for these header values leaves the 32-bit range.
bool PlacementOverflows(int32_t offset, int32_t angle) {
    for (int64_t i = 0; i < DirectionCount; ++i) {
        const int64_t step = int64_t{angle} * i;
        const int64_t theta = int64_t{offset} + step;
        if (step != static_cast<int32_t>(step) || theta != static_cast<int32_t>(theta)) {
            return true;
        }
    }
    return false;
}

void CheckSlots(const TLogLoader& loader, const TDiscardView& view) {
    const TLogState& state = loader.State();
    int firstWithData = -1;
    for (int d = 0; d < DirectionCount; ++d) {
        const TDirectionSlot& slot = loader.DirectionSlots()[static_cast<size_t>(d)];
        FUZZ_CHECK(view.Enabled[static_cast<size_t>(d)] == slot.HasData);
        FUZZ_CHECK(slot.HasData == slot.Measurement->IdentityValid);
        FUZZ_CHECK(!slot.HasData || state.DataLoaded);
        if (slot.HasData) {
            FUZZ_CHECK(slot.Levels[0] == slot.Measurement->ServingLevel());
            FUZZ_CHECK(slot.Levels[1] <= slot.Levels[2] && slot.Levels[2] <= slot.Levels[3]);
            if (firstWithData < 0 && d < 4) {
                firstWithData = d;
            }
        }
    }
    // A fresh loader starts with nothing selected; only directions 0..3 are ever chosen.
    FUZZ_CHECK(loader.SelectedDirection() == firstWithData);
    FUZZ_CHECK(view.Checked == firstWithData);
}

void CheckLoad(const TLogLoader& loader, const TDiscardView& view, const std::string_view bytes,
               bool overflowed) {
    const TLogState& state = loader.State();
    FUZZ_CHECK(view.LineCount == SplitLogLines(bytes).size());
    const bool checked = state.SoftwareVersion >= 790;
    FUZZ_CHECK(overflowed == (checked && PlacementOverflows(state.Offset, state.Angle)));
    FUZZ_CHECK(loader.Verdict().has_value() == (checked && !overflowed));
    if (loader.Verdict()) {
        const bool judgeable = !state.LicenseText.empty() && !state.SignatureText.empty();
        FUZZ_CHECK((*loader.Verdict() == TSignatureVerdict::NotInterpretable) == !judgeable);
        FUZZ_CHECK(view.CheckResult == VerdictText(*loader.Verdict()));
    } else {
        FUZZ_CHECK(view.CheckResult == "...");
    }
    FUZZ_CHECK(state.DataLoaded == (loader.Verdict().has_value() && state.FirstRecordLine > 0));
    CheckSlots(loader, view);
}

// The geometry both charts would draw after this load, without the pixels.
void PlanCharts(TLogLoader& loader) {
    const TReceptionPolarChart& polar = loader.PolarChart();
    const TPolarPlan plan =
        PlanPolarChart(loader.DirectionSlots(), PolarChartSize.width(), polar.StartAngle,
                       polar.StepAngle, BandImageSizes[BandImageLevelTop].height());
    FUZZ_CHECK(plan.Grid.Centre == PolarChartSize.width() / 2);
    const int selected = std::max(loader.SelectedDirection(), 0);
    const TCellData& shown = *loader.DirectionSlots()[static_cast<size_t>(selected)].Measurement;
    const TBarChartPlan bars =
        PlanBarChart(shown, SurveyBands(shown), loader.NeighborChart().AxisMemory(), BarChartSize,
                     loader.NeighborChart().ShowEdgeMarkers);
    FUZZ_CHECK(bars.Bars.size() <= 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TMemoryFile file;
    const std::filesystem::path path = file.Hold(data, size);
    TDiscardView view;
    TLogLoader loader(view);
    bool overflowed = false;
    try {
        loader.LoadLogFile(path);
    } catch (const EIntOverflow&) {
        overflowed = true;
    }
    CheckLoad(loader, view, AsText(data, size), overflowed);
    if (SkipPixels() && loader.State().DataLoaded) {
        PlanCharts(loader);
    }
    return 0;
}
