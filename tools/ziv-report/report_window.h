#pragma once
// The window of ziv-report: a product folder, a range and filters; the
// capability table; the control charts and the histogram of the selected row;
// the inspection record of one day workbook, with its lot and the product's
// part facts.
#include <QMainWindow>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "report/capability.h"
#include "report/collect.h"
#include "report/fixed_limits.h"
#include "report/journal_index.h"

class QChartView;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace ziv::report {

class ReportWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ReportWindow(QWidget* parent = nullptr);
    ~ReportWindow() override;

    // The same as choosing them in the window (the screenshots set them so).
    void SetProductFolder(const QString& folder);
    void SetRange(const Date& from, const Date& to);
    void StartCollecting();
    bool IsCollecting() const { return worker_.joinable(); }
    void SelectPoint(int row);
    void ShowHistogram();
    // The control charts against the product's fixed control limits
    // (「確定した管理限界」), where the point and machine has them.
    void ShowFixedLimits(bool fixed);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Outcome;
    void RestoreSize();
    // Says in the status line where a file went.
    void Saved(const QString& path);
    void ChooseFolder();
    void Cancel();
    void Finished(std::shared_ptr<Outcome> outcome);
    void ShowCharts();
    void SaveTableCsv();
    void SaveTablePdf();
    void SaveAqdef();
    void ShowHistory(const CapabilityRow& row);
    // The charts of the tab shown, as one picture.
    void SaveCharts(bool pdf);
    void DayReport(bool print);
    void EditPartFacts();
    Filter CurrentFilter() const;
    void Warn(const QString& message);

    QLineEdit* folder_;
    QDateEdit* from_;
    QDateEdit* to_;
    QComboBox* machine_;
    QLineEdit* operator_;
    QPushButton* collect_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    QLabel* status_;
    QTableWidget* table_;
    QChartView* individualsChart_;
    QChartView* movingRangeChart_;
    QChartView* histogram_;
    QTabWidget* charts_;
    QCheckBox* fixedLimits_;
    QTableWidget* history_;
    QLineEdit* lot_;
    QLineEdit* quantity_;

    std::thread worker_;
    std::atomic<bool> cancelFlag_{false};
    std::shared_ptr<Outcome> result_;
};

}  // namespace ziv::report
