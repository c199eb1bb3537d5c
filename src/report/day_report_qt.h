#pragma once
// The inspection record (検査成績書) of one day workbook as a paged document
// for the PDF writer and the printer.
#include <QColor>
#include <QImage>
#include <string>
#include <vector>

#include "report/capability.h"
#include "report/day_report.h"
#include "report/report_pages_qt.h"

namespace ziv::report {

QColor VerdictColour(PointVerdict verdict);

// The product drawing at its own pixel size with every placed point's disc
// painted as the inspection drawing paints it, coloured by the point's
// verdict in the book; null when the report has no drawing or no positions.
QImage MarkedDrawing(const DayReport& report);

// The inspection record (検査成績書) a customer receives: part facts, lot,
// the overall verdict, stamp boxes, and the gauge and time of each value
// where the journal knows them. It names no file: a path on the station's
// disk means nothing to the customer and tells outsiders about the network.
PagedDocument DayReportDocument(const DayReport& report, const LotFacts& lot = {});

}  // namespace ziv::report
