#pragma once
// The inspection drawing: the product drawing at its own pixel size with every
// placed point marked by a numbered disc, written as a JPEG file.
#include <QColor>
#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "drawing/point_table.h"

namespace ziv {

// Drawings scanned at A1/A0 size exceed Qt's default 128 MB decoding limit;
// every program that shows or prints drawings raises it once as it starts.
void AllowLargeDrawings();

// Encodes the picture at the quality (above 100 taken as 100, below 0 as 0)
// in memory, then replaces the file whole: a failed write leaves the old file.
// EmptyPicture or ImageNotEncoded when there is nothing to write, else what
// the write met.
FileResult SavePictureJpeg(const QImage& pict, const std::string& filename, int quality, Disk& disk = RealDisk());

// Points 1..100 that are placed, in number order.
std::vector<int> PlacedPoints(const PointTable& table);

// A copy of the drawing with a disc (black rim, white number) at every placed
// point, red unless colourOf gives a point's colour; discs beyond the edge
// are clipped.
QImage RenderInspectionDrawing(const QImage& drawing, const PointTable& table,
                               const std::function<QColor(int point)>& colourOf = {});

}  // namespace ziv
