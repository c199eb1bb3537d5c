#pragma once
// Paged reports on A4 (a PDF writer or a printer): a title, header lines, an
// optional picture, then a table whose header is repeated on every page, and
// "n / N" at the foot of each page. A record that leaves the shop also gets
// boxes for hand stamps beside its title and a line naming it on every page,
// since its pages may be filed or copied apart.
#include <QColor>
#include <QImage>
#include <QPagedPaintDevice>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "common/text_file.h"

namespace ziv::report {

struct TableColumn {
    QString Title;
    double Width = 40;  // points; scaled together to the printable width
    Qt::Alignment Align = Qt::AlignRight;
};

struct TableRow {
    QStringList Cells;
    bool Marked = false;  // a failing row: tinted, its marked cell in red
    int MarkedColumn = -1;
    QColor Tint;  // an unmarked row's background when valid (white otherwise)
};

struct LegendEntry {
    QColor Colour;
    QString Text;
};

struct PagedDocument {
    QString Title;
    QStringList HeaderLines;
    QImage Picture;  // may be null
    std::vector<LegendEntry> Legend;
    std::vector<TableColumn> Columns;
    std::vector<TableRow> Rows;
    bool Landscape = false;
    int TableFontSize = 9;  // in points (the painter works in points); a wide table takes a smaller one
    // Columns as wide as their widest text (title or cell) rather than their
    // Width, before both are scaled to the page: a wide table keeps every
    // figure whole where it can.
    bool FitColumnsToText = false;
    // In bold under the header lines; nothing when empty.
    QString Verdict;
    // A box for each at the top right of the first page: the caption, room
    // for a hand stamp, and a name line and a date line, printed empty.
    QStringList Stamps;
    // At the foot of every page, before "n / N"; "n / N" alone when empty.
    QString PageLine;
};

// Paints onto a device whose page size the caller has set to A4; false when
// the painter could not start on it.
bool PaintDocument(QPagedPaintDevice& device, const PagedDocument& document);
// Writes the document as a PDF file (fonts embedded), whole and atomic.
FileResult WriteDocumentPdf(const PagedDocument& document, const std::string& path, const QString& title);

}  // namespace ziv::report
