// The machines' sheets, their grids, day workbooks and product master.
#include "common/failure_text.h"
#include "platform/flex_grid_qt.h"
#include "platform/paths.h"
#include "records/day_book.h"
#include "station/measurement_window_ui.h"

namespace ziv {

namespace {
const char* const kHeaders[MachineSheet::kColumns] = {"番号", "測定値", "判定", "寸法", "上限", "下限", "狙い", "補正"};

std::string ReasonText(const DayBooks::ReadProblem& problem) {
    return problem.err ? ReadFailureText(problem.err) : problem.engineReason;
}
}  // namespace

void MeasurementWindow::ShowRow(int m, int r) {
    for (int c = 1; c < MachineSheet::kColumns; ++c)
        grids_[m]->SetTextMatrix(r, c, QString::fromStdString(sheets_[m].ColumnText(r, c)));
}

void MeasurementWindow::ShowSheet(int m) {
    FlexGrid* grid = grids_[m];
    grid->Clear();
    for (int c = 0; c < MachineSheet::kColumns; ++c) grid->SetTextMatrix(0, c, QString::fromUtf8(kHeaders[c]));
    for (int r = kFirstPoint; r <= kLastPoint; ++r) {
        grid->SetTextMatrix(r, 0, QString::number(r));
        ShowRow(m, r);
    }
}

void MeasurementWindow::ClearSheet(int m) {
    sheets_[m].Clear();
    ShowSheet(m);
}

void MeasurementWindow::LoadDayBook(int m) {
    sheets_[m].Clear();
    dayBooks_.Close(m);
    if (!productPaths_[m].empty()) {
        std::string path = DayBookPath(productPaths_[m], op_.UserName, productNames_[m], m, workDate_);
        if (!IsFile(path)) {
            AdvanceToEmptyPoint(m);
            AdvanceToEmptyPoint(m);
        } else if (auto error = dayBooks_.Open(m, path)) {
            // Left closed: a later save opens it again rather than overwrite it.
            Warn("ブック \"" + path + "\" を読み込めません（" + ReasonText(*error) + "）。");
        } else {
            for (int r = kFirstPoint; r <= kLastPoint; ++r) sheets_[m].SetMeasured(r, dayBooks_.Row(m, r));
        }
        ReadMaster(m);
    }
    ShowSheet(m);
}

void MeasurementWindow::ReadMaster(int m) {
    std::string path = MasterBookPath(productPaths_[m]);
    if (!IsFile(path)) return;
    std::string error;
    auto master = Workbook::Open(path, &error);
    if (!master) {
        Warn("製品マスタ \"" + path + "\" を読み込めません（" + error + "）。寸法・公差・狙い値は表示されません。");
        return;
    }
    for (int r = kFirstPoint; r <= kLastPoint; ++r) {
        MasterRow row = ReadMasterRow(*master, r);
        sheets_[m].SetMaster(r, row);
        if (!row.Nominal.empty()) ++loadedPointCount_;
    }
}

bool MeasurementWindow::SaveDayBook() {
    int m = shownMachine_;
    std::string path = DayBookPath(productPaths_[m], op_.UserName, productNames_[m], m, workDate_);
    MachineSheet& sheet = sheets_[m];
    auto result = dayBooks_.Save(
        m, path, CurrentGridRow(), currentInputName_, kLastPoint,
        [&](int r, const std::string& inputName) { return sheet.Measured(r, inputName); },
        [&](int r) { return sheet.Master(r); });
    // Rows another station measured meanwhile are taken as the workbook now holds them.
    for (int r : result.fromDisk) {
        sheet.SetMeasured(r, dayBooks_.Row(m, r));
        ShowRow(m, r);
    }
    switch (result.outcome) {
        case DayBooks::Outcome::Saved:
            ++savedCount_;
            return true;
        case DayBooks::Outcome::FolderNotMade:
            Warn("フォルダ \"" + result.failure.path + "\" を作成できないため、ブック \"" + path +
                 "\" に値は保存されていません。");
            break;
        case DayBooks::Outcome::Unreadable:
            Warn("ブック \"" + path + "\" を読み込めないため、値は保存されていません（" + ReasonText(result.unreadable) + "）。");
            break;
        case DayBooks::Outcome::CellRefused:
            Warn("ブック \"" + path + "\" の形が違うため、値は保存されていません。");
            break;
        case DayBooks::Outcome::Locked:
            Warn("ブック \"" + path + "\" は他のステーションが書き込み中のため、値は保存されていません（\"" +
                 result.failure.path + "\"）。値は残してあり、次の保存で書き込まれます。");
            break;
        case DayBooks::Outcome::WriteFailed:
            Warn("ブック \"" + path + "\" に保存できませんでした。値は保存されていません。\n" + FailureText(result.failure));
            break;
    }
    return false;
}

}  // namespace ziv
