#include "drawing/position_files.h"

#include "common/numbers.h"
#include "platform/paths.h"

namespace ziv {

std::optional<WindowPlacement> LoadWindowPlacement(const std::string& path, Disk& disk) {
    auto lines = ReadTextLines(path, disk);
    if (!lines) return std::nullopt;
    std::optional<WindowPlacement> last;
    size_t i = 0;
    for (; i + 2 < lines->size(); i += 3) {
        WindowPlacement p;
        p.Top = NumberFromText((*lines)[i]);
        p.Left = NumberFromText((*lines)[i + 1]);
        p.State = WholeNumberClamped((*lines)[i + 2], -32768, 32767);
        last = p;
    }
    if (last && lines->size() - i == 2) {
        last->Width = NumberFromText((*lines)[i]);
        last->Height = NumberFromText((*lines)[i + 1]);
    }
    return last;
}

FileResult SaveWindowPlacement(const std::string& path, const WindowPlacement& placement, Disk& disk) {
    int state = placement.State == 1 ? 0 : placement.State;
    std::string text = SignColumnText(placement.Top) + "\r\n" + SignColumnText(placement.Left) + "\r\n" +
                       SignColumnText(state) + "\r\n";
    if (placement.Width > 0 && placement.Height > 0)
        text += SignColumnText(placement.Width) + "\r\n" + SignColumnText(placement.Height) + "\r\n";
    return WriteTextFile(path, text, disk);
}

std::string EditorPlacementPath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "DrawPos.dat");
}

std::string MeasurementPlacementPath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "DrawPosMain.dat");
}

}  // namespace ziv
