#pragma once
// Arithmetic of the editor's two views: the overview that shows the whole
// drawing in a box with a fixed long side, the detail view that shows the
// drawing 1:1 around a point, and the instrument list under the drawing.
// All lengths are twips (see common/twips.h).
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "common/twips.h"
#include "links/instrument_link.h"

namespace ziv {

constexpr int kMarkFontSize = 18;
// Radius of the discs on the detail view and the export: 18 pixels.
constexpr int kMarkRadiusTwips = kMarkFontSize * kTwipsPerPixel;
constexpr int kInstrumentListSize = 27;

struct DrawingSize {
    double W = 0;  // twips
    double H = 0;
};

struct OverviewSize {
    double Width = 0;  // twips
    double Height = 0;
    bool operator==(const OverviewSize&) const = default;
};

struct TwipPoint {
    double X = 0;
    double Y = 0;
};

struct ViewOrigin {
    std::int32_t ViewX = 0;
    std::int32_t ViewY = 0;
    bool operator==(const ViewOrigin&) const = default;
};

struct ViewSize {
    std::int32_t Width = 0;  // twips
    std::int32_t Height = 0;
};

bool IsLandscape(DrawingSize drawing);

// Landscape: 12000 wide, H * 800 / W * 15 high; otherwise 9000 high.
OverviewSize OverviewSizeFor(DrawingSize drawing);

// How much smaller than designed the overview is drawn where the editor
// leaves it less room (pixels): 1 when it fits. Positions stay in the
// designed overview's twips whatever the scale.
double OverviewScale(OverviewSize designed, double roomWidth, double roomHeight);

// The 270-twip disc radius scaled down to the overview, to a whole twip.
std::int32_t OverviewMarkRadius(DrawingSize drawing);

// A stored overview position as a point of the drawing in twips.
TwipPoint DrawingTwipsFor(DrawingSize drawing, OverviewSize overview, double x, double y);

// Keeps the view from leaving the drawing by more than one view size on each
// side; the upper bound is view size + drawing size - 1.
ViewOrigin ClampView(double viewX, double viewY, ViewSize view, DrawingSize drawing);

// The view origin that puts overview position (x, y) in the middle of the view.
ViewOrigin CenterDetail(DrawingSize drawing, OverviewSize overview, ViewSize view, double x, double y);

// One step of dragging the detail view: the drawing follows the mouse.
struct PanState {
    ViewOrigin Origin;
    std::int32_t DragLastX = 0;
    std::int32_t DragLastY = 0;
};
PanState PanDetail(const PanState& before, double mouseX, double mouseY, ViewSize view, DrawingSize drawing);

// "指定なし", "F1 name" .. "F10 name", then the sixteen fixed instrument kinds.
std::array<std::string, kInstrumentListSize> InstrumentListTexts(const InstrumentLinks& links);
// The list text of an index; empty when the index is outside the list.
std::string InstrumentText(const std::array<std::string, kInstrumentListSize>& list, int index);

// Whole twips, halves to even; non-finite values give 0.
std::int32_t WholeTwips(double value);

// A drag repaints at most once an interval, so a large drawing keeps up with
// the mouse: moves that come sooner are dropped. The clock gives monotonic
// milliseconds.
class MoveThrottle {
public:
    static constexpr std::int64_t kIntervalMs = 60;
    explicit MoveThrottle(std::function<std::int64_t()> clock);
    // True, and the interval starts anew, when the last move taken is an interval old.
    bool Take();

private:
    std::function<std::int64_t()> clock_;
    std::int64_t last_;
};

}  // namespace ziv
