#pragma once
// The window flow of a run: the operator window first, the settings window
// from it, the measurement window (with the editor beside it) after "決定".
#include <QObject>
#include <memory>

namespace ziv {

class Form1;
class OperatorWindow;

class WindowFlow : public QObject {
    Q_OBJECT
public:
    WindowFlow();
    ~WindowFlow() override;

    // False when the run must end at once (a second instance).
    bool Start();
    OperatorWindow* operatorWindow() const { return operatorWindow_.get(); }
    Form1* MeasurementWindow() const { return form1_.get(); }

signals:
    // The program ends.
    void Finished();

private:
    void OpenSettings();
    void OpenMeasurement();

    std::unique_ptr<OperatorWindow> operatorWindow_;
    std::unique_ptr<Form1> form1_;
};

}  // namespace ziv
