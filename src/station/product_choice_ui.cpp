// Registering a product folder for the machine shown, and removing it.
#include <QCalendarWidget>
#include <QLineEdit>
#include <QPushButton>

#include "drawing/drawing_editor_ui.h"
#include "records/day_book.h"
#include "records/product_panel_ui.h"
#include "records/work_date_ui.h"
#include "platform/bounded_read.h"
#include "platform/paths.h"
#include "station/measurement_window_ui.h"
#include "platform/qt_text.h"

namespace ziv {

void MeasurementWindow::openProductPanel() {
    ApplyMode(WindowMode::ChoosingProduct);
    productPanel->openAt(Q(flow_.ProductFolder()));
}

// Directory.dat is rewritten whole by every change; a change that cannot be
// written as it stands is refused before anything in memory moves.
static const char* const kUnreadableDirectory =
    "を読み込めなかったため、製品の登録を変更できません。ファイルを確認してから起動し直して下さい。";

void MeasurementWindow::registerProduct() {
    int m = flow_.ShownMachine();
    std::string chosen = productPanel->chosenFolder().toStdString();
    if (registrations_.Unreadable()) {
        Warn("\"" + registrations_.File() + "\" " + kUnreadableDirectory);
        return;
    }
    if (!FitsOneLine(chosen)) {
        Warn("フォルダ名に改行が含まれているため、登録できません。\n\"" + chosen + "\"");
        return;
    }
    // A product is a folder with its master workbook; anything else (the
    // products folder itself, a folder of drawings) would record nowhere.
    std::optional<bool> isProduct = ReadWithin<bool>(kShareAnswerMs, [master = MasterBookPath(chosen)] { return IsFile(master); });
    if (!isProduct) {
        Warn("ファイルサーバーが応答しないため、フォルダ \"" + chosen + "\" を確かめられません。応答してから選び直して下さい。");
        return;
    }
    if (!*isProduct) {
        Warn("フォルダ \"" + chosen + "\" には data.xls がないため、製品として登録できません。製品のフォルダを選んで下さい。");
        return;
    }
    flow_.SetProduct(m, chosen);
    productNameBox->setText(Q(flow_.ProductName(m)));
    KeepRegistration(m);
    RefreshControlData();
    LoadMachines({m}, true);
    ApplyMode(WindowMode::Ready);
    Editor()->forgetDrawing(m);
    LoadDrawingFor(m);
    shownProductFolder_ = flow_.ProductPath(m);
    Editor()->currentPointChanged();
    FocusGrid();
}

void MeasurementWindow::unregisterProduct() {
    int m = flow_.ShownMachine();
    if (registrations_.Unreadable()) {
        Warn("\"" + registrations_.File() + "\" " + kUnreadableDirectory);
        return;
    }
    flow_.SetProduct(m, {});
    productNameBox->clear();
    KeepRegistration(m);
    RefreshControlData();
    flow_.Clear(m);
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
