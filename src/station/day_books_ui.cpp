// The grids of the measurement window and their day workbooks and product master.
#include "platform/flex_grid_qt.h"
#include "platform/paths.h"
#include "records/day_book.h"
#include "station/measurement_window_ui.h"

namespace ziv {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
const char* const kHeaders[8] = {"番号", "測定値", "判定", "寸法", "上限", "下限", "狙い", "補正"};

// The measured cells of the given rows as the machine's workbook holds them.
void ShowBookRows(FlexGrid* grid, const DayBooks& books, int machine, const std::vector<int>& rows) {
    for (int r : rows) {
        MeasuredRow row = books.Row(machine, r);
        grid->SetTextMatrix(r, 1, Q(row.Value));
        grid->SetTextMatrix(r, 2, Q(row.Judgement));
        grid->SetTextMatrix(r, 7, Q(row.Correction));
    }
}
}  // namespace

void MeasurementWindow::ResetGrid(int m) {
    FlexGrid* grid = grids_[m];
    grid->Clear();
    for (int c = 0; c < 8; ++c) grid->SetTextMatrix(0, c, QString::fromUtf8(kHeaders[c]));
    for (int r = 1; r < grid->Rows(); ++r) grid->SetTextMatrix(r, 0, QString::number(r));
}

void MeasurementWindow::LoadDayBook(int m) {
    ResetGrid(m);
    dayBooks_.Close(m);
    if (productPaths_[m].empty()) return;
    std::string path = DayBookPath(productPaths_[m], op_.UserName, productNames_[m], m, workDate_);
    if (!IsFile(path)) {
        AdvanceToEmptyPoint(m);
        AdvanceToEmptyPoint(m);
    } else if (auto error = dayBooks_.Open(m, path)) {
        // Left closed: a later save opens it again rather than overwrite it.
        Warn("ブック \"" + path + "\" を読み込めません（" + *error + "）。");
    } else {
        std::vector<int> rows;
        for (int r = 1; r <= kLastPoint; ++r) rows.push_back(r);
        ShowBookRows(grids_[m], dayBooks_, m, rows);
    }
    ReadMaster(m);
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
    FlexGrid* grid = grids_[m];
    for (int r = 1; r <= kLastPoint; ++r) {
        MasterRow row = ReadMasterRow(*master, r);
        grid->SetTextMatrix(r, 3, Q(row.Nominal));
        grid->SetTextMatrix(r, 4, Q(row.Upper));
        grid->SetTextMatrix(r, 5, Q(row.Lower));
        grid->SetTextMatrix(r, 6, Q(row.Target));
        if (!row.Nominal.empty()) ++loadedPointCount_;
    }
}

bool MeasurementWindow::SaveDayBook() {
    int m = MachineNumber;
    std::string path = DayBookPath(productPaths_[m], op_.UserName, productNames_[m], m, workDate_);
    FlexGrid* grid = grids_[m];
    auto cell = [grid](int r, int c) { return grid->TextMatrix(r, c).toStdString(); };
    auto result = dayBooks_.Save(
        m, path, grid->Row(), currentInputName_, kLastPoint,
        [&](int r, const std::string& inputName) { return MeasuredRow{inputName, cell(r, 1), cell(r, 2), cell(r, 7)}; },
        [&](int r) { return MasterRow{cell(r, 3), cell(r, 4), cell(r, 5), cell(r, 6)}; });
    // Rows another station measured meanwhile are shown as the workbook now holds them.
    ShowBookRows(grid, dayBooks_, m, result.fromDisk);
    switch (result.outcome) {
        case DayBooks::Outcome::Saved:
            ++savedCount_;
            return true;
        case DayBooks::Outcome::FolderNotMade:
            Warn("フォルダ \"" + result.detail + "\" を作成できないため、ブック \"" + path +
                 "\" に値は保存されていません。");
            break;
        case DayBooks::Outcome::Unreadable:
            Warn("ブック \"" + path + "\" を読み込めないため、値は保存されていません（" + result.detail + "）。");
            break;
        case DayBooks::Outcome::CellRefused:
            Warn("ブック \"" + path + "\" の形が違うため、値は保存されていません。");
            break;
        case DayBooks::Outcome::Locked:
            Warn("ブック \"" + path + "\" は他のステーションが書き込み中のため、値は保存されていません（\"" +
                 result.detail + "\"）。値は残してあり、次の保存で書き込まれます。");
            break;
        case DayBooks::Outcome::WriteFailed:
            Warn("ブック \"" + path + "\" に保存できませんでした。値は保存されていません。\n" + result.detail);
            break;
    }
    return false;
}

}  // namespace ziv
