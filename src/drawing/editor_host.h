#pragma once
// What the drawing editor needs of the measurement window. The measurement
// window implements it; editor tests use a fake.
#include <optional>
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
    // A designation of point in pointFile: kept by the station before this
    // returns, and written into the file as soon as it can be (at once on a
    // station without a writer, which then says how it went).
    struct DesignationKept {
        bool kept = false;                 // false: it lives in the editor's memory only
        std::optional<FileResult> written;  // tried at once: how it went
        PointTable file;                    // when written: the file's points as written
    };
    virtual DesignationKept KeepDesignation(const std::string& pointFile, int point, const DesignatedPoint& designated) = 0;
};

}  // namespace ziv
