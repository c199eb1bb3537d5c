#include "app/window_flow_ui.h"

#include "links/form2_ui.h"
#include "operators/form3_ui.h"
#include "station/form1_ui.h"

namespace ziv {

WindowFlow::WindowFlow() : form3_(std::make_unique<Form3>()) {
    connect(form3_.get(), &Form3::SettingsRequested, this, &WindowFlow::OpenSettings);
    connect(form3_.get(), &Form3::Decided, this, &WindowFlow::OpenMeasurement);
}

WindowFlow::~WindowFlow() = default;

bool WindowFlow::Start() {
    if (!form3_->Form_Load()) return false;
    form3_->show();
    return true;
}

void WindowFlow::OpenSettings() {
    auto* form2 = new Form2(form3_->SavePath);
    form2->setAttribute(Qt::WA_DeleteOnClose);
    // However the settings window closes, the operator window comes back.
    connect(form2, &Form2::closed, form3_.get(), [this] {
        form3_->setEnabled(true);
        form3_->show();
    });
    form2->show();
}

void WindowFlow::OpenMeasurement() {
    form1_ = std::make_unique<Form1>(SignedInOperator{form3_->SavePath, form3_->UserDIR, form3_->UserName});
    connect(form1_.get(), &Form1::Ended, this, &WindowFlow::Finished);
    if (!form1_->Form_Load()) {
        emit Finished();
        return;
    }
    form1_->show();
}

}  // namespace ziv
