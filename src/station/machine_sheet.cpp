#include "station/machine_sheet.h"

namespace ziv {

namespace {
const SheetRow kEmptyRow{};
bool IsPoint(int point) { return point >= kFirstPoint && point <= kLastPoint; }
}  // namespace

const SheetRow& MachineSheet::Row(int point) const { return IsPoint(point) ? rows_[point] : kEmptyRow; }

SheetRow* MachineSheet::Find(int point) { return IsPoint(point) ? &rows_[point] : nullptr; }

MasterRow MachineSheet::Master(int point) const {
    const SheetRow& row = Row(point);
    return {row.Nominal, row.Upper, row.Lower, row.Target};
}

void MachineSheet::SetMaster(int point, const MasterRow& master) {
    if (SheetRow* row = Find(point)) {
        row->Nominal = master.Nominal;
        row->Upper = master.Upper;
        row->Lower = master.Lower;
        row->Target = master.Target;
    }
}

MeasuredRow MachineSheet::Measured(int point, const std::string& inputName) const {
    const SheetRow& row = Row(point);
    return {inputName, row.Value, row.Judgement, row.Correction};
}

void MachineSheet::SetMeasured(int point, const MeasuredRow& measured) {
    if (SheetRow* row = Find(point)) {
        row->Value = measured.Value;
        row->Judgement = measured.Judgement;
        row->Correction = measured.Correction;
    }
}

bool MachineSheet::HasMaster() const {
    for (int p = kFirstPoint; p <= kLastPoint; ++p)
        if (!rows_[p].Nominal.empty()) return true;
    return false;
}

int MachineSheet::FirstEmptyPoint() const {
    const bool master = HasMaster();
    for (int p = kFirstPoint; p <= kLastPoint; ++p)
        if (rows_[p].Value.empty() && (!master || !rows_[p].Nominal.empty())) return p;
    return 0;
}

std::string MachineSheet::ColumnText(int point, int column) const {
    const SheetRow& row = Row(point);
    switch (column) {
        case 0: return IsPoint(point) ? std::to_string(point) : std::string();
        case 1: return row.Value;
        case 2: return row.Judgement;
        case 3: return row.Nominal;
        case 4: return row.Upper;
        case 5: return row.Lower;
        case 6: return row.Target;
        case 7: return row.Correction;
        default: return {};
    }
}

// An entry that is not a number leaves no correction behind on a point that
// has a target: the old one would belong to another value.
void MachineSheet::DropCorrectionUnderTarget(SheetRow& row) {
    if (!row.Target.empty()) row.Correction.clear();
}

void MachineSheet::EnterValue(int point, const std::string& value) {
    if (SheetRow* row = Find(point)) row->Value = value;
}

bool MachineSheet::KeepsSign(int point) const {
    const SheetRow& row = Row(point);
    return ziv::KeepsSign(row.Nominal, row.Lower);
}

void MachineSheet::EnterPassFail(int point, bool pass) {
    SheetRow* row = Find(point);
    if (!row) return;
    row->Value = pass ? "OK" : "NG";
    row->Judgement = JudgementText(pass ? Judgement::Pass : Judgement::Fail);
    DropCorrectionUnderTarget(*row);
}

void MachineSheet::EnterText(int point, const std::string& text) {
    SheetRow* row = Find(point);
    if (!row) return;
    row->Value = text;
    row->Judgement.clear();
    DropCorrectionUnderTarget(*row);
}

Judgement MachineSheet::JudgeRow(int point) {
    SheetRow* row = Find(point);
    if (!row) return Judgement::None;
    Judgement judgement = JudgeMeasuredValue(row->Nominal, row->Upper, row->Lower, row->Value);
    row->Judgement = JudgementText(judgement);
    return judgement;
}

void MachineSheet::CorrectRow(int point) {
    SheetRow* row = Find(point);
    if (!row) return;
    if (auto correction = CorrectionText(row->Target, row->Value)) row->Correction = *correction;
}

}  // namespace ziv
