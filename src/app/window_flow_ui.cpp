#include "app/window_flow_ui.h"

#include <QTimer>

#include "drawing/drawing_editor_ui.h"
#include "drawing/window_placement_qt.h"

#include "links/settings_window_ui.h"
#include "operators/operator_window_ui.h"
#include "station/measurement_window_ui.h"

namespace ziv {

WindowFlow::WindowFlow(Dialogs& dialogs, Files files)
    : dialogs_(dialogs), files_(files), operatorWindow_(std::make_unique<OperatorWindow>(dialogs, files.disk)) {
    connect(operatorWindow_.get(), &OperatorWindow::SettingsRequested, this, &WindowFlow::OpenSettings);
    connect(operatorWindow_.get(), &OperatorWindow::Decided, this, &WindowFlow::OpenMeasurement);
}

WindowFlow::~WindowFlow() = default;

bool WindowFlow::Start() {
    if (!operatorWindow_->startUp()) return false;
    operatorWindow_->show();
    return true;
}

void WindowFlow::OpenSettings() {
    auto* settingsWindow = new SettingsWindow(operatorWindow_->savePath(), dialogs_, files_.disk);
    settingsWindow->setAttribute(Qt::WA_DeleteOnClose);
    // However the settings window closes, the operator window comes back.
    connect(settingsWindow, &SettingsWindow::closed, operatorWindow_.get(), &OperatorWindow::comeBack);
    settingsWindow->show();
}

void WindowFlow::OpenMeasurement() {
    measurementWindow_ = std::make_unique<MeasurementWindow>(SignedInOperator{operatorWindow_->savePath(), operatorWindow_->userDir(), operatorWindow_->userName()}, dialogs_, files_);
    connect(measurementWindow_.get(), &MeasurementWindow::Ended, this, &WindowFlow::Finished);
    if (!measurementWindow_->startUp()) {
        emit Finished();
        return;
    }
    measurementWindow_->show();
    // Once the window manager has framed both windows, neither may lie off
    // the screen, wherever they were put.
    QTimer::singleShot(500, measurementWindow_.get(), [this] {
        KeepOnScreen(measurementWindow_.get());
        KeepOnScreen(measurementWindow_->Editor());
    });
}

}  // namespace ziv
