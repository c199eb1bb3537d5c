// Registering a product folder for the machine shown, and removing it.
#include <QCalendarWidget>
#include <QLineEdit>
#include <QPushButton>

#include "drawing/drawing_editor_ui.h"
#include "platform/flex_grid_qt.h"
#include "records/product_panel_ui.h"
#include "records/work_date_ui.h"
#include "platform/paths.h"
#include "station/measurement_window_ui.h"

namespace ziv {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void MeasurementWindow::openProductPanel() {
    ApplyMode(WindowMode::ChoosingProduct);
    productPanel->openAt(Q(productFolder_));
}

// Directory.dat is rewritten whole by every change; a change that cannot be
// written as it stands is refused before anything in memory moves.
static const char* const kUnreadableDirectory =
    "を読み込めなかったため、製品の登録を変更できません。ファイルを確認してから起動し直して下さい。";

void MeasurementWindow::registerProduct() {
    int m = shownMachine_;
    std::string chosen = productPanel->chosenFolder().toStdString();
    if (directoryUnreadable_) {
        Warn("\"" + DirectoryFilePath(op_.UserDIR) + "\" " + kUnreadableDirectory);
        return;
    }
    if (!FitsOneLine(chosen)) {
        Warn("フォルダ名に改行が含まれているため、登録できません。\n\"" + chosen + "\"");
        return;
    }
    productPaths_[m] = chosen;
    productNames_[m] = GetProductName(productPaths_[m]);
    productNameBox->setText(Q(productNames_[m]));
    SaveDirectory(m);
    LoadDayBook(m);
    grids_[m]->SetRow(1);
    grids_[m]->SetTopRow(1);
    AdvanceToEmptyPoint();
    ApplyMode(WindowMode::Ready);
    std::string drawing = ProductDrawingPath(productPaths_[m], productNames_[m]);
    if (IsFile(drawing) && Editor()->LoadDrawing(m, drawing))
        Editor()->LoadPosDat(PointTablePath(productPaths_[m]));
    else
        Editor()->forgetDrawing(m);
    shownProductFolder_ = productPaths_[m];
    Editor()->currentPointChanged();
    FocusGrid();
}

void MeasurementWindow::unregisterProduct() {
    int m = shownMachine_;
    if (directoryUnreadable_) {
        Warn("\"" + DirectoryFilePath(op_.UserDIR) + "\" " + kUnreadableDirectory);
        return;
    }
    productPaths_[m].clear();
    productNames_[m].clear();
    productNameBox->clear();
    SaveDirectory(m);
    ClearSheet(m);
    dayBooks_.Close(m);
    grids_[m]->SetRow(1);
    grids_[m]->SetTopRow(1);
    AdvanceToEmptyPoint();
    activateWindow();
    ApplyMode(WindowMode::Ready);
    Editor()->forgetDrawing(m);
    Editor()->currentPointChanged();
}

void MeasurementWindow::closeProductPanel() {
    ApplyMode(WindowMode::Ready);
    FocusGrid();
}

}  // namespace ziv
