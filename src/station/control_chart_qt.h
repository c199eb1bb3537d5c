#pragma once
// The small control chart beside the grid: the current point's last values on
// the machine shown, with the fixed centre line and control limits, the
// tolerance limits, and the values that raised a signal. It only paints what
// it is handed; the rules are the station's control watch.
#include <QWidget>
#include <optional>
#include <vector>

#include "report/fixed_limits.h"

namespace ziv {

class ControlChartView : public QWidget {
public:
    explicit ControlChartView(QWidget* parent = nullptr);
    // Nothing to chart (a point without fixed limits): the view says so.
    void Clear(const QString& why);
    void Show(int point, int machine, const report::FixedLimit& limits, std::vector<double> values);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<report::FixedLimit> limits_;
    std::vector<double> values_;
    std::vector<bool> signalled_;
    QString title_;
};

}  // namespace ziv
