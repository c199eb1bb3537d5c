#include "app/window_flow_ui.h"

#include "links/settings_window_ui.h"
#include "operators/operator_window_ui.h"
#include "station/form1_ui.h"

namespace ziv {

WindowFlow::WindowFlow() : operatorWindow_(std::make_unique<OperatorWindow>()) {
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
    auto* settingsWindow = new SettingsWindow(operatorWindow_->SavePath);
    settingsWindow->setAttribute(Qt::WA_DeleteOnClose);
    // However the settings window closes, the operator window comes back.
    connect(settingsWindow, &SettingsWindow::closed, operatorWindow_.get(), [this] {
        operatorWindow_->setEnabled(true);
        operatorWindow_->show();
    });
    settingsWindow->show();
}

void WindowFlow::OpenMeasurement() {
    form1_ = std::make_unique<Form1>(SignedInOperator{operatorWindow_->SavePath, operatorWindow_->UserDIR, operatorWindow_->UserName});
    connect(form1_.get(), &Form1::Ended, this, &WindowFlow::Finished);
    if (!form1_->Form_Load()) {
        emit Finished();
        return;
    }
    form1_->show();
}

}  // namespace ziv
