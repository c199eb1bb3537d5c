#pragma once
// The window flow of a run: the operator window first, the settings window
// from it, the measurement window (with the editor beside it) after "決定".
#include <QObject>
#include <memory>

#include "platform/file_lock.h"

namespace ziv {

class Dialogs;
class MeasurementWindow;
class OperatorWindow;

class WindowFlow : public QObject {
    Q_OBJECT
public:
    // Every window reaches its files through `files`.
    WindowFlow(Dialogs& dialogs, Files files);
    ~WindowFlow() override;

    // False when the run must end at once (a second instance).
    bool Start();
    OperatorWindow* operatorWindow() const { return operatorWindow_.get(); }
    MeasurementWindow* measurementWindow() const { return measurementWindow_.get(); }

signals:
    // The program ends.
    void Finished();

private:
    void OpenSettings();
    void OpenMeasurement();

    Dialogs& dialogs_;
    Files files_;
    std::unique_ptr<OperatorWindow> operatorWindow_;
    std::unique_ptr<MeasurementWindow> measurementWindow_;
};

}  // namespace ziv
