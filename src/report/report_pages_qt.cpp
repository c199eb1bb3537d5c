#include "report/report_pages_qt.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

#include "platform/ui_font_qt.h"

namespace ziv::report {

namespace {

constexpr double kMargin = 36;      // points
constexpr double kFootRoom = 24;    // the page number below the table
constexpr double kRowHeight = 15;
constexpr double kCellPad = 3;
constexpr double kPictureShare = 0.5;
// A stamp box: caption, stamp, name line, date line. A hand stamp is 10 to
// 15 mm across; the stamp room is a little over 18 mm square.
constexpr double kStampWidth = 64, kStampCaption = 14, kStampRoom = 52, kStampLine = 16;
constexpr double kStampHeight = kStampCaption + kStampRoom + 2 * kStampLine;
constexpr double kVerdictHeight = 22;

QFont Font(int points, bool bold = false) {
    QFont font = UiFont();
    font.setPixelSize(points);
    font.setBold(bold);
    return font;
}

struct Geometry {
    double Width = 0, Height = 0;  // the page in points
    double Left() const { return kMargin; }
    double Right() const { return Width - kMargin; }
    double Bottom() const { return Height - kMargin - kFootRoom; }
};

// Each column's share of the table's width: its Width, or with
// FitColumnsToText the room its widest text needs.
std::vector<double> ColumnWidths(const PagedDocument& document, double tableWidth) {
    std::vector<double> wanted;
    QFontMetricsF plain(Font(document.TableFontSize)), bold(Font(document.TableFontSize, true));
    for (size_t c = 0; c < document.Columns.size(); ++c) {
        double width = document.Columns[c].Width;
        if (document.FitColumnsToText) {
            width = bold.horizontalAdvance(document.Columns[c].Title);
            for (const TableRow& row : document.Rows)
                if (static_cast<qsizetype>(c) < row.Cells.size())
                    width = std::max(width, plain.horizontalAdvance(row.Cells[static_cast<qsizetype>(c)]));
            width += 2 * kCellPad + 1;
        }
        wanted.push_back(width);
    }
    double natural = 0;
    for (double w : wanted) natural += w;
    for (double& w : wanted) w = natural > 0 ? w * tableWidth / natural : 0;
    return wanted;
}

}  // namespace

bool PaintDocument(QPagedPaintDevice& device, const PagedDocument& document) {
    QPageLayout layout = device.pageLayout();
    QSizeF page = layout.paintRect(QPageLayout::Point).size();
    QPainter painter;
    if (!painter.begin(&device)) return false;
    // Everything below is laid out in points whatever the device's resolution.
    painter.setWindow(0, 0, qRound(page.width()), qRound(page.height()));
    painter.setViewport(0, 0, device.width(), device.height());
    Geometry g{page.width(), page.height()};
    const double tableWidth = g.Right() - g.Left();

    std::vector<double> widths = ColumnWidths(document, tableWidth);

    // The title and the header lines give way to the stamp boxes at their right.
    const double stampsWidth = document.Stamps.size() * kStampWidth;
    const double headerWidth = document.Stamps.isEmpty() ? tableWidth : tableWidth - stampsWidth - 8;
    // Where the table starts on the first page depends on the header and the
    // picture; every later page starts at the top margin.
    double headerBottom = kMargin + 26 + document.HeaderLines.size() * 14;
    if (!document.Verdict.isEmpty()) headerBottom += kVerdictHeight;
    if (!document.Stamps.isEmpty()) headerBottom = std::max(headerBottom, kMargin + kStampHeight);
    double firstTableTop = headerBottom + 6;
    QRectF pictureRect;
    if (!document.Picture.isNull()) {
        double maxW = tableWidth, maxH = (g.Height - 2 * kMargin) * kPictureShare;
        QSizeF size = QSizeF(document.Picture.size()).scaled(maxW, maxH, Qt::KeepAspectRatio);
        pictureRect = QRectF(g.Left() + (maxW - size.width()) / 2, firstTableTop, size.width(), size.height());
        firstTableTop += size.height() + 6;
        if (!document.Legend.empty()) firstTableTop += 16;
        firstTableTop += 4;
    }

    // Rows per page: the first page has less room than the others.
    std::vector<size_t> pageStarts{0};
    {
        double y = firstTableTop + kRowHeight;
        for (size_t i = 0; i < document.Rows.size(); ++i) {
            if (y + kRowHeight > g.Bottom()) {
                pageStarts.push_back(i);
                y = kMargin + kRowHeight;
            }
            y += kRowHeight;
        }
    }
    const int pages = static_cast<int>(pageStarts.size());

    auto paintTableHeader = [&](double y) {
        painter.setFont(Font(document.TableFontSize, true));
        painter.setPen(Qt::black);
        painter.setBrush(QColor(230, 230, 230));
        double x = g.Left();
        for (size_t c = 0; c < document.Columns.size(); ++c) {
            QRectF cell(x, y, widths[c], kRowHeight);
            painter.drawRect(cell);
            painter.drawText(cell, Qt::AlignCenter, document.Columns[c].Title);
            x += widths[c];
        }
    };
    auto paintRow = [&](const TableRow& row, double y) {
        double x = g.Left();
        QFont plain = Font(document.TableFontSize);
        QFontMetricsF metrics(plain);
        for (size_t c = 0; c < document.Columns.size(); ++c) {
            QRectF cell(x, y, widths[c], kRowHeight);
            painter.setPen(QColor(120, 120, 120));
            painter.setBrush(row.Marked ? QColor(255, 215, 215) : row.Tint.isValid() ? row.Tint : QColor(Qt::white));
            painter.drawRect(cell);
            QString text = c < static_cast<size_t>(row.Cells.size()) ? row.Cells[static_cast<int>(c)] : QString();
            bool emphasised = row.Marked && static_cast<int>(c) == row.MarkedColumn;
            painter.setFont(emphasised ? Font(document.TableFontSize, true) : plain);
            painter.setPen(emphasised ? QColor(200, 0, 0) : QColor(Qt::black));
            QRectF inner = cell.adjusted(kCellPad, 0, -kCellPad, 0);
            text = metrics.elidedText(text, Qt::ElideRight, inner.width());
            painter.drawText(inner, document.Columns[c].Align | Qt::AlignVCenter, text);
            x += widths[c];
        }
    };

    auto paintStamps = [&] {
        double x = g.Right() - stampsWidth;
        const double y = kMargin;
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        for (const QString& caption : document.Stamps) {
            QRectF box(x, y, kStampWidth, kStampHeight);
            painter.drawRect(box);
            painter.setFont(Font(9, true));
            painter.drawText(QRectF(x, y, kStampWidth, kStampCaption), Qt::AlignCenter, caption);
            double line = y + kStampCaption;
            painter.drawLine(QPointF(x, line), QPointF(x + kStampWidth, line));
            line += kStampRoom;
            painter.setFont(Font(7));
            for (const QString& label : {QStringLiteral("氏名"), QStringLiteral("日付")}) {
                painter.drawLine(QPointF(x, line), QPointF(x + kStampWidth, line));
                painter.drawText(QRectF(x + 2, line, kStampWidth - 4, kStampLine), Qt::AlignLeft | Qt::AlignVCenter,
                                 label);
                line += kStampLine;
            }
            x += kStampWidth;
        }
    };
    auto paintFoot = [&](int p) {
        QRectF foot(g.Left(), g.Height - kMargin - 14, tableWidth, 14);
        QString number = QString("%1 / %2").arg(p + 1).arg(pages);
        painter.setPen(Qt::black);
        painter.setFont(Font(9));
        if (document.PageLine.isEmpty()) {
            painter.drawText(foot, Qt::AlignCenter, number);
            return;
        }
        painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, number);
        double room = tableWidth - QFontMetricsF(painter.font()).horizontalAdvance(number) - 12;
        painter.setFont(Font(8));
        QString line = QFontMetricsF(painter.font()).elidedText(document.PageLine, Qt::ElideRight, room);
        painter.drawText(QRectF(foot.left(), foot.top(), room, foot.height()), Qt::AlignLeft | Qt::AlignVCenter, line);
        painter.setPen(QColor(120, 120, 120));
        painter.drawLine(QPointF(g.Left(), foot.top() - 2), QPointF(g.Right(), foot.top() - 2));
    };

    for (int p = 0; p < pages; ++p) {
        if (p > 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        double y = kMargin;
        if (p == 0) {
            painter.setPen(Qt::black);
            painter.setFont(Font(18, true));
            painter.drawText(QRectF(g.Left(), y, headerWidth, 24), Qt::AlignLeft | Qt::AlignVCenter, document.Title);
            y += 26;
            painter.setFont(Font(10));
            QFontMetricsF headerMetrics(painter.font());
            for (const QString& line : document.HeaderLines) {
                painter.drawText(QRectF(g.Left(), y, headerWidth, 14), Qt::AlignLeft | Qt::AlignVCenter,
                                 headerMetrics.elidedText(line, Qt::ElideRight, headerWidth));
                y += 14;
            }
            if (!document.Verdict.isEmpty()) {
                painter.setFont(Font(13, true));
                painter.drawText(QRectF(g.Left(), y + 2, headerWidth, kVerdictHeight - 2),
                                 Qt::AlignLeft | Qt::AlignVCenter, document.Verdict);
            }
            if (!document.Stamps.isEmpty()) paintStamps();
            if (!document.Picture.isNull()) {
                // The PDF keeps the picture at about 200 dots per inch of paper.
                QSize keep = (pictureRect.size() * 200.0 / 72.0).toSize();
                QImage picture = document.Picture;
                if (picture.width() > keep.width())
                    picture = picture.scaled(keep, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                painter.drawImage(pictureRect, picture);
                painter.setPen(QColor(160, 160, 160));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(pictureRect);
                double ly = pictureRect.bottom() + 6;
                double lx = g.Left();
                painter.setFont(Font(9));
                for (const auto& entry : document.Legend) {
                    painter.setPen(Qt::black);
                    painter.setBrush(entry.Colour);
                    painter.drawEllipse(QPointF(lx + 5, ly + 7), 5, 5);
                    painter.drawText(QRectF(lx + 13, ly, 120, 14), Qt::AlignLeft | Qt::AlignVCenter, entry.Text);
                    lx += 20 + QFontMetricsF(painter.font()).horizontalAdvance(entry.Text) + 12;
                }
            }
            y = firstTableTop;
        }
        paintTableHeader(y);
        y += kRowHeight;
        size_t end = p + 1 < pages ? pageStarts[static_cast<size_t>(p) + 1] : document.Rows.size();
        for (size_t i = pageStarts[static_cast<size_t>(p)]; i < end; ++i) {
            paintRow(document.Rows[i], y);
            y += kRowHeight;
        }
        paintFoot(p);
    }
    return painter.end();
}

FileResult WriteDocumentPdf(const PagedDocument& document, const std::string& path, const QString& title) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("ziv-report"));
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      document.Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
        if (!PaintDocument(pdf, document)) return Failed(Failure::PdfNotMade, path);
    }
    return WriteFileAtomic(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace ziv::report
