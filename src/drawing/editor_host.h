#pragma once
// What the drawing editor needs of the measurement window. The measurement
// window implements it; editor tests use a fake.
#include <string>

#include "drawing/point_table.h"

namespace ziv {

class EditorHost {
public:
    virtual ~EditorHost() = default;
    virtual int ShownMachine() const = 0;
    // Current row (point number) of the grid of machine m.
    virtual int CurrentRow(int machine) const = 0;
    // Product folder of the machine shown; the point table is saved there.
    virtual std::string ShownProductFolder() const = 0;
    // The measurement window has shut down: the editor may close with it.
    virtual bool RunEnded() const = 0;
    // Where the inspection drawing goes: Data.jpg in the product folder of the machine shown.
    virtual std::string ExportFile() const = 0;
    // Gives the keyboard focus back to the grid of the machine shown.
    virtual void FocusGrid() = 0;
    // Disabled while a point is designated.
    virtual void SetMeasurementWindowEnabled(bool enabled) = 0;
    // A designation that could not be written into pointFile: kept by the
    // station and written when it can be. False when it could not even be
    // kept (it then lives in the editor's memory only).
    virtual bool KeepDesignation(const std::string& pointFile, int point, const DesignatedPoint& designated) = 0;
    // point was just designated and saved into pointFile, which now holds
    // saved: what the station kept waiting for that point, or holds as it
    // is, is done; whatever else waits may go now too.
    virtual void DesignationSaved(const std::string& pointFile, int point, const PointTable& saved) = 0;
};

}  // namespace ziv
