// The product panel of the measurement window: registering a product folder
// for the machine shown, and removing it.
#include <QCalendarWidget>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "drawing/form4_ui.h"
#include "platform/flex_grid_qt.h"
#include "platform/folder_list_qt.h"
#include "platform/paths.h"
#include "station/form1_ui.h"

namespace ziv {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void Form1::Command7_Click() {
    MonthView1->hide();
    Command6->setEnabled(false);
    Frame8->setEnabled(false);
    Command7->setEnabled(false);
    Dir1->setPath(Q(productFolder_));
    Text8->setText(Dir1->path());
    Frame9->show();
}

void Form1::Dir1_Change(const QString& path) { Text8->setText(path); }

// Directory.dat is rewritten whole by every change; a change that cannot be
// written as it stands is refused before anything in memory moves.
static const char* const kUnreadableDirectory =
    "を読み込めなかったため、製品の登録を変更できません。ファイルを確認してから起動し直して下さい。";

void Form1::Command8_Click() {
    int m = MachineNumber;
    std::string chosen = Dir1->path().toStdString();
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
    Text5->setText(Q(productNames_[m]));
    SaveDirectory();
    LoadDayBook();
    grids_[m]->SetRow(1);
    grids_[m]->SetTopRow(1);
    AdvanceToEmptyPoint();
    Frame9->hide();
    Command7->setEnabled(true);
    Frame8->setEnabled(true);
    Command6->setEnabled(true);
    std::string drawing = ProductDrawingPath(productPaths_[m], productNames_[m]);
    if (IsFile(drawing) && Editor()->LoadDrawing(m, drawing))
        Editor()->LoadPosDat(PointTablePath(productPaths_[m]));
    else
        Editor()->DelCur();
    EPath = productPaths_[m];
    Editor()->MNChanged();
    FocusGrid();
}

void Form1::Command2_Click() {
    int m = MachineNumber;
    if (directoryUnreadable_) {
        Warn("\"" + DirectoryFilePath(op_.UserDIR) + "\" " + kUnreadableDirectory);
        return;
    }
    productPaths_[m].clear();
    productNames_[m].clear();
    Text5->clear();
    SaveDirectory();
    ResetGrid(m);
    dayBooks_[m].reset();
    unsavedRows_[m].clear();
    grids_[m]->SetRow(1);
    grids_[m]->SetTopRow(1);
    AdvanceToEmptyPoint();
    activateWindow();
    Frame9->hide();
    Command7->setEnabled(true);
    Frame8->setEnabled(true);
    Command6->setEnabled(true);
    Editor()->DelCur();
    Editor()->MNChanged();
}

void Form1::Command9_Click() {
    Frame9->hide();
    Command7->setEnabled(true);
    Frame8->setEnabled(true);
    Command6->setEnabled(true);
    FocusGrid();
}

}  // namespace ziv
