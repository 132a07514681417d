#pragma once

#include <QSize>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/LogView.h"
#include "charts/BarChart.h"
#include "charts/PolarChart.h"
#include "data/DirectionSlot.h"

// A paint box without a window: nobody looks at it, so the charts only keep their drawings
// until an image of them is asked for (drawing/ChartImage.h).
class THeadlessPaintBox : public TPaintBox {
  public:
    explicit THeadlessPaintBox(QSize size) : Width_(size.width()), Height_(size.height()) {}
    int Width() const override { return Width_; }
    int Height() const override { return Height_; }
    void ShowChart(const TChartCanvas&) override {}
    bool ShowsDrawings() const override { return false; }

  private:
    int Width_;
    int Height_;
};

class THeadlessLabel : public TTextLabel {
  public:
    void SetText(const std::string& text) override { Text = text; }
    std::string Text;
};

// The main window without widgets, for norva-inspect: remembers what the loader showed.
class THeadlessView : public ILogView {
  public:
    void SetFileContent(const TLogText&) override {}
    bool KeepsFileContent() const override { return false; }
    void SetFileContentColor(std::optional<TRgb> color) override { FileContentColor = color; }
    void SetFileName(const std::filesystem::path& path) override { FileName = path; }
    void SetCheckResult(const std::string& text) override { CheckResult = text; }
    void MoveSelector(int index, int left, int top) override;
    void EnableSelector(int index, bool enabled) override;
    void CheckSelector(int index) override { Checked = index; }

    TPaintBox& PolarPaintBox() override { return PolarBox; }
    TPaintBox& NeighborPaintBox() override { return NeighborBox; }
    TTextLabel& CurrentCellLabel() override { return CurrentCell; }
    TTextLabel& NeighborsLabel() override { return Neighbors; }

    // Forgets where the selectors were placed, so that a load's own placements show.
    void ForgetSelectorPlacements() { Placements = {}; }

    std::optional<TRgb> FileContentColor;
    std::filesystem::path FileName;
    std::string CheckResult = "...";
    std::array<std::optional<std::pair<int, int>>, DirectionCount> Placements{};
    std::array<bool, DirectionCount> Enabled{};
    int Checked = -1;
    THeadlessPaintBox PolarBox{PolarChartSize};
    THeadlessPaintBox NeighborBox{BarChartSize};
    THeadlessLabel CurrentCell;
    THeadlessLabel Neighbors;
};
