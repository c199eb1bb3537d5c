#include "drawing/drawing_export_qt.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>

#include "common/text_file.h"
#include "drawing/drawing_views_qt.h"
#include "drawing/view_geometry.h"

namespace ziv {

void AllowLargeDrawings() {
    constexpr int kDrawingAllocationLimitMb = 2048;
    QImageReader::setAllocationLimit(kDrawingAllocationLimitMb);
}

FileResult SavePictureJpeg(const QImage& pict, const std::string& filename, int quality, Disk& disk) {
    if (pict.isNull()) return Failed(Failure::EmptyPicture, filename);
    quality = std::clamp(quality, 0, 100);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(pict)) return Failed(Failure::ImageNotEncoded, filename);
    buffer.close();
    return WriteFileAtomic(filename, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), nullptr,
                           {}, disk);
}

std::vector<int> PlacedPoints(const PointTable& table) {
    std::vector<int> points;
    for (int n = kFirstPoint; n <= kLastPoint; ++n)
        if (table.IsPlaced(n)) points.push_back(n);
    return points;
}

QImage RenderInspectionDrawing(const QImage& drawing, const PointTable& table,
                               const std::function<QColor(int point)>& colourOf) {
    QImage canvas(drawing.size(), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    if (drawing.isNull()) return canvas;
    QPainter painter(&canvas);
    painter.drawImage(0, 0, drawing);
    DrawingSize size{TwipsFromPixels(drawing.width()), TwipsFromPixels(drawing.height())};
    OverviewSize overview = OverviewSizeFor(size);
    for (int n : PlacedPoints(table)) {
        TwipPoint at = DrawingTwipsFor(size, overview, table.PosX[n], table.PosY[n]);
        QPointF centre(PixelsFromTwips(at.X), PixelsFromTwips(at.Y));
        PaintMarker(painter, centre, n, colourOf ? colourOf(n) : QColor(255, 0, 0), Qt::black, 3);
    }
    return canvas;
}

}  // namespace ziv
