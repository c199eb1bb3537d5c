#pragma once
// What the measurement window keeps of one machine: the master of every point
// and what was measured on it. Entries, judging, saving and loading work on
// the sheet; the window's grid only shows it.
#include <array>
#include <string>

#include "common/station_limits.h"
#include "records/day_book.h"
#include "station/judgement.h"

namespace ziv {

struct SheetRow {
    std::string Value, Judgement, Nominal, Upper, Lower, Target, Correction;
};

class MachineSheet {
public:
    // The grid's columns: 番号, 測定値, 判定, 寸法, 上限, 下限, 狙い, 補正.
    static constexpr int kColumns = 8;

    // Points from kFirstPoint to kLastPoint; any other number reads as an empty row.
    const SheetRow& Row(int point) const;
    void Clear() { rows_ = {}; }

    MasterRow Master(int point) const;
    void SetMaster(int point, const MasterRow& master);
    MeasuredRow Measured(int point, const std::string& inputName) const;
    // The value, judgement and correction as a day workbook holds them.
    void SetMeasured(int point, const MeasuredRow& measured);

    // The points of the master are those with a nominal size; a sheet
    // without any (no master, or one not read) has every point open.
    bool HasMaster() const;
    // The first of those points without a value; 0 when each has one.
    int FirstEmptyPoint() const;
    // Every point of the master holds a value: the part is measured.
    bool AllMeasured() const { return HasMaster() && FirstEmptyPoint() == 0; }
    // The grid text of a point's column.
    std::string ColumnText(int point, int column) const;

    // Entries. A value by hand or from an instrument is written as
    // EnteredValueText makes it; JudgeRow and CorrectRow then do the rest.
    void EnterValue(int point, const std::string& value);
    // Whether the point's values keep their sign (see KeepsSign).
    bool KeepsSign(int point) const;
    // "OK"/"NG" keys: a pass or a fail without a number; no correction.
    void EnterPassFail(int point, bool pass);
    // Free text: no judgement and no correction.
    void EnterText(int point, const std::string& text);
    // The value against the point's nominal and tolerances, kept in the row.
    Judgement JudgeRow(int point);
    // Target minus value, when the point has a target.
    void CorrectRow(int point);

private:
    SheetRow* Find(int point);
    void DropCorrectionUnderTarget(SheetRow& row);

    std::array<SheetRow, kLastPoint + 1> rows_{};
};

}  // namespace ziv
