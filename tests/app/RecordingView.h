#pragma once

#include <QImage>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "app/LogView.h"
#include "charts/BarChart.h"
#include "charts/PolarChart.h"
#include "drawing/ChartImage.h"

// A view that writes every call the loader makes, in order, as one text per call.
class TRecordingView : public ILogView {
  public:
    class TRecordingBox : public TPaintBox {
      public:
        TRecordingBox(TRecordingView& owner, std::string name, int width, int height)
            : Owner(owner), Name(std::move(name)), W(width), H(height) {}
        int Width() const override { return W; }
        int Height() const override { return H; }
        void ShowChart(const TChartCanvas& chart) override {
            Last = ChartImage(chart);
            Owner.Calls.push_back(Name + " image");
        }
        TRecordingView& Owner;
        std::string Name;
        int W;
        int H;
        QImage Last;
    };

    class TRecordingLabel : public TTextLabel {
      public:
        void SetText(const std::string& text) override { Text = text; }
        std::string Text;
    };

    bool KeepsFileContent() const override { return KeepsContent; }
    void SetFileContent(const TLogText& text) override {
        Content = SplitLogLines(text.Bytes());
        Calls.push_back("content " + std::to_string(Content.size()));
    }
    // As #rrggbb.
    static std::string ColorName(TRgb color) {
        char name[8];
        std::snprintf(name, sizeof name, "#%06x", static_cast<unsigned>(color & 0xffffffu));
        return name;
    }
    void SetFileContentColor(std::optional<TRgb> color) override {
        Color = color;
        Calls.push_back(color ? "color " + ColorName(*color) : std::string("color normal"));
    }
    void SetFileName(const std::filesystem::path& path) override {
        Calls.push_back("name " + path.string());
    }
    void SetCheckResult(const std::string& text) override {
        CheckResult = text;
        Calls.push_back("check " + text);
    }
    void MoveSelector(int index, int left, int top) override {
        Calls.push_back("move " + std::to_string(index) + " " + std::to_string(left) + " " +
                        std::to_string(top));
    }
    void EnableSelector(int index, bool enabled) override {
        Calls.push_back((enabled ? "enable " : "disable ") + std::to_string(index));
    }
    void CheckSelector(int index) override { Calls.push_back("select " + std::to_string(index)); }

    TPaintBox& PolarPaintBox() override { return Polar; }
    TPaintBox& NeighborPaintBox() override { return Neighbor; }
    TTextLabel& CurrentCellLabel() override { return CurrentCell; }
    TTextLabel& NeighborsLabel() override { return Neighbors; }

    // The calls whose text starts with `prefix`, in order.
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : Calls) {
            if (call.starts_with(prefix)) {
                found.push_back(call);
            }
        }
        return found;
    }

    bool KeepsContent = true;  // false: a view like norva-inspect's, which shows no text
    std::vector<std::string> Calls;
    std::vector<std::string> Content;
    std::optional<TRgb> Color;
    std::string CheckResult = "...";
    TRecordingBox Polar{*this, "polar", PolarChartSize.width(), PolarChartSize.height()};
    TRecordingBox Neighbor{*this, "bars", BarChartSize.width(), BarChartSize.height()};
    TRecordingLabel CurrentCell;
    TRecordingLabel Neighbors;
};
