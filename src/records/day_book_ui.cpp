// Day workbooks and the product master of the measurement window's machines.
#include "platform/flex_grid_qt.h"
#include "platform/paths.h"
#include "records/day_book.h"
#include "station/measurement_window_ui.h"

namespace ziv {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
const char* const kHeaders[8] = {"番号", "測定値", "判定", "寸法", "上限", "下限", "狙い", "補正"};
}  // namespace

void MeasurementWindow::ResetGrid(int m) {
    FlexGrid* grid = grids_[m];
    grid->Clear();
    for (int c = 0; c < 8; ++c) grid->SetTextMatrix(0, c, QString::fromUtf8(kHeaders[c]));
    for (int r = 1; r < grid->Rows(); ++r) grid->SetTextMatrix(r, 0, QString::number(r));
}

void MeasurementWindow::LoadDayBook() {
    int m = MachineNumber;
    ResetGrid(m);
    dayBooks_[m].reset();
    unsavedRows_[m].clear();
    if (productPaths_[m].empty()) return;
    std::string path = DayBookPath(productPaths_[m], op_.UserName, productNames_[m], m, workDate_);
    if (!IsFile(path)) {
        AdvanceToEmptyPoint();
        AdvanceToEmptyPoint();
    } else if (std::string error; auto book = Workbook::Open(path, &error)) {
        dayBooks_[m] = std::move(*book);
        FlexGrid* grid = grids_[m];
        for (int r = 1; r <= GridMaxNumber; ++r) {
            MeasuredRow row = ReadDayBookRow(*dayBooks_[m], r);
            grid->SetTextMatrix(r, 1, Q(row.Value));
            grid->SetTextMatrix(r, 2, Q(row.Judgement));
            grid->SetTextMatrix(r, 7, Q(row.Correction));
        }
    } else {
        // Left closed: a later save opens it again rather than overwrite it.
        Warn("ブック \"" + path + "\" を読み込めません（" + error + "）。");
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
    for (int r = 1; r <= GridMaxNumber; ++r) {
        MasterRow row = ReadMasterRow(*master, r);
        grid->SetTextMatrix(r, 3, Q(row.Nominal));
        grid->SetTextMatrix(r, 4, Q(row.Upper));
        grid->SetTextMatrix(r, 5, Q(row.Lower));
        grid->SetTextMatrix(r, 6, Q(row.Target));
        if (!row.Nominal.empty()) ++loadedPointCount_;
    }
}

// The open day workbook of machine m: the one in memory, else the file on
// disk (another program may have made it), else a new one with the master data.
bool MeasurementWindow::EnsureDayBook(int m, const std::string& path) {
    if (dayBooks_[m]) return true;
    if (IsFile(path)) {
        std::string error;
        auto book = Workbook::Open(path, &error);
        if (!book) {
            Warn("ブック \"" + path + "\" を読み込めないため、値は保存されていません（" + error + "）。");
            return false;
        }
        dayBooks_[m] = std::move(*book);
        return true;
    }
    FlexGrid* grid = grids_[m];
    dayBooks_[m] = NewDayBook(GridMaxNumber, [grid](int r) {
        return MasterRow{grid->TextMatrix(r, 3).toStdString(), grid->TextMatrix(r, 4).toStdString(),
                         grid->TextMatrix(r, 5).toStdString(), grid->TextMatrix(r, 6).toStdString()};
    });
    return true;
}

bool MeasurementWindow::SaveDayBook() {
    int m = MachineNumber;
    const std::string& product = productPaths_[m];
    std::string folder = DayBookFolder(product);
    std::string path = DayBookPath(product, op_.UserName, productNames_[m], m, workDate_);
    FlexGrid* grid = grids_[m];
    // Rows whose save failed are written again with the next save that works.
    unsavedRows_[m][grid->Row()] = currentInputName_;
    if (!MakeFolder(folder)) {
        Warn("フォルダ \"" + folder + "\" を作成できないため、ブック \"" + path + "\" に値は保存されていません。");
        return false;
    }
    if (!EnsureDayBook(m, path)) return false;
    Workbook& book = *dayBooks_[m];
    bool stored = true;
    for (const auto& [r, inputName] : unsavedRows_[m])
        stored = WriteDayBookRow(book, r, MeasuredRow{inputName, grid->TextMatrix(r, 1).toStdString(),
                                                      grid->TextMatrix(r, 2).toStdString(),
                                                      grid->TextMatrix(r, 7).toStdString()}) &&
                 stored;
    if (!stored) {
        Warn("ブック "" + path + "" の形が違うため、値は保存されていません。");
        return false;
    }
    if (auto result = book.SaveAs(path); !result) {
        Warn("ブック \"" + path + "\" に保存できませんでした。値は保存されていません。\n" + result.error);
        return false;
    }
    unsavedRows_[m].clear();
    ++savedCount_;
    return true;
}

}  // namespace ziv
