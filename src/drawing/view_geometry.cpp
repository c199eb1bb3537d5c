#include "drawing/view_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/numbers.h"

namespace ziv {

namespace {

constexpr double kLandscapeOverviewPixels = 800;
constexpr double kPortraitOverviewPixels = 600;

std::int32_t ClampToInt32(double value) {
    if (!std::isfinite(value)) return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::min(std::max(value, lo), hi));
}

}  // namespace

std::int32_t WholeTwips(double value) { return ClampToInt32(RoundHalfEven(value)); }

bool IsLandscape(DrawingSize drawing) { return drawing.W > drawing.H; }

OverviewSize OverviewSizeFor(DrawingSize d) {
    if (d.W <= 0 || d.H <= 0) return {};
    if (IsLandscape(d))
        return {kLandscapeOverviewPixels * kTwipsPerPixel, d.H * kLandscapeOverviewPixels / d.W * kTwipsPerPixel};
    return {d.W * kPortraitOverviewPixels / d.H * kTwipsPerPixel, kPortraitOverviewPixels * kTwipsPerPixel};
}

double OverviewScale(OverviewSize designed, double roomWidth, double roomHeight) {
    // However small the room, the drawing stays a drawing, not a dot.
    constexpr double kSmallest = 0.1;
    double scale = 1;
    if (designed.Width > 0) scale = std::min(scale, TwipsFromPixels(roomWidth) / designed.Width);
    if (designed.Height > 0) scale = std::min(scale, TwipsFromPixels(roomHeight) / designed.Height);
    return std::isfinite(scale) ? std::max(scale, kSmallest) : 1;
}

std::int32_t OverviewMarkRadius(DrawingSize d) {
    if (d.W <= 0 || d.H <= 0) return 0;
    if (IsLandscape(d))
        return WholeTwips(kMarkFontSize * kLandscapeOverviewPixels / d.W * kTwipsPerPixel * kTwipsPerPixel);
    return WholeTwips(kMarkFontSize * kPortraitOverviewPixels / d.H * kTwipsPerPixel * kTwipsPerPixel);
}

TwipPoint DrawingTwipsFor(DrawingSize d, OverviewSize overview, double x, double y) {
    if (IsLandscape(d)) {
        double iy = overview.Height > 0 ? d.H * y / overview.Height : 0;
        return {d.W * x / kLandscapeOverviewPixels / kTwipsPerPixel, iy};
    }
    double ix = overview.Width > 0 ? d.W * x / overview.Width : 0;
    return {ix, d.H * y / kPortraitOverviewPixels / kTwipsPerPixel};
}

ViewOrigin ClampView(double viewX, double viewY, ViewSize view, DrawingSize d) {
    if (!std::isfinite(viewX)) viewX = 0;
    if (!std::isfinite(viewY)) viewY = 0;
    if (viewX < -view.Width) viewX = -view.Width;
    if (viewY < -view.Height) viewY = -view.Height;
    if (viewX > view.Width + d.W - 1) viewX = view.Width + d.W - 1;
    if (viewY > view.Height + d.H - 1) viewY = view.Height + d.H - 1;
    return {ClampToInt32(viewX), ClampToInt32(viewY)};
}

ViewOrigin CenterDetail(DrawingSize d, OverviewSize overview, ViewSize view, double x, double y) {
    double halfW = RoundHalfEven(view.Width / 2.0);
    double halfH = RoundHalfEven(view.Height / 2.0);
    TwipPoint at = DrawingTwipsFor(d, overview, x, y);
    double viewX = RoundHalfEven(at.X) - halfW;
    double viewY = RoundHalfEven(at.Y) - halfH;
    return ClampView(viewX, viewY, view, d);
}

PanState PanDetail(const PanState& before, double mouseX, double mouseY, ViewSize view, DrawingSize d) {
    double viewX = RoundHalfEven(static_cast<double>(before.DragLastX) - mouseX + before.Origin.ViewX);
    double viewY = RoundHalfEven(static_cast<double>(before.DragLastY) - mouseY + before.Origin.ViewY);
    PanState after;
    after.DragLastX = WholeTwips(mouseX);
    after.DragLastY = WholeTwips(mouseY);
    after.Origin = ClampView(viewX, viewY, view, d);
    return after;
}

std::array<std::string, kInstrumentListSize> InstrumentListTexts(const InstrumentLinks& links) {
    std::array<std::string, kInstrumentListSize> list;
    list[0] = "指定なし";
    for (int n = 1; n <= 10; ++n) list[n] = "F" + std::to_string(n) + " " + links[n - 1].DisplayName;
    static const char* const kFixed[] = {"ピンゲージ", "リングゲージ", "ネジゲージ", "治工具",
                                         "チャート",   "目視",         "マイクロ",   "ノギス",
                                         "投影機",     "顕微鏡",       "ルーペ",     "面粗度測定器",
                                         "真円度計測定器", "形状測定器", "3次元測定器", "その他"};
    for (int i = 0; i < 16; ++i) list[11 + i] = kFixed[i];
    return list;
}

std::string InstrumentText(const std::array<std::string, kInstrumentListSize>& list, int index) {
    if (index < 0 || index >= kInstrumentListSize) return {};
    return list[index];
}

MoveThrottle::MoveThrottle(std::function<std::int64_t()> clock) : clock_(std::move(clock)), last_(clock_()) {}

bool MoveThrottle::Take() {
    std::int64_t now = clock_();
    if (now - last_ < kIntervalMs) return false;
    last_ = now;
    return true;
}

}  // namespace ziv
