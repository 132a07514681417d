#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "charts/ChartColors.h"
#include "charts/PaintTargets.h"

// What the loader needs from a window. The window implements it with widgets,
// norva-inspect headless, the tests with a recorder.
class ILogView {
  public:
    virtual ~ILogView() = default;

    // mmFileContent: the file's text (byte text) and its background colour. The text shares
    // the buffer the file was read into: a view that keeps it holds no copy.
    // No colour stands for the normal window colour.
    virtual void SetFileContent(const TLogText& text) = 0;
    // A view that shows no text says so: its file is then read in pieces, and SetFileContent
    // is not called.
    virtual bool KeepsFileContent() const { return true; }
    virtual void SetFileContentColor(std::optional<TRgb> color) = 0;

    virtual void SetFileName(const std::filesystem::path& path) = 0;
    virtual void SetCheckResult(const std::string& text) = 0;

    // Direction selectors rb0..rb7. CheckSelector only shows the selection; the
    // loader runs the click logic itself.
    virtual void MoveSelector(int index, int left, int top) = 0;
    virtual void EnableSelector(int index, bool enabled) = 0;
    virtual void CheckSelector(int index) = 0;

    // Where the charts copy their images and text lines.
    virtual TPaintBox& PolarPaintBox() = 0;
    virtual TPaintBox& NeighborPaintBox() = 0;
    virtual TTextLabel& CurrentCellLabel() = 0;
    virtual TTextLabel& NeighborsLabel() = 0;
};
