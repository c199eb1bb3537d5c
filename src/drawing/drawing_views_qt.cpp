#include "drawing/drawing_views_qt.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "drawing/view_geometry.h"

namespace ziv {

namespace {

constexpr double kMarkRadiusPixels = PixelsFromTwips(kMarkRadiusTwips);
// Circles far outside any box are not drawn: their coordinates could exceed
// what the painter handles, and they would not be seen anyway.
constexpr double kFarAway = 1e6;

int ButtonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

int ShiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers & Qt::ShiftModifier) code |= 1;
    if (modifiers & Qt::ControlModifier) code |= 2;
    if (modifiers & Qt::AltModifier) code |= 4;
    return code;
}

bool Reasonable(QPointF p) { return std::fabs(p.x()) < kFarAway && std::fabs(p.y()) < kFarAway; }

}  // namespace

QFont MarkerFont() {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")});
    font.setPixelSize(24);
    font.setBold(true);
    return font;
}

QColor BlankViewColour() { return QColor(192, 192, 192); }

void PaintMarker(QPainter& painter, QPointF centre, int number, const QColor& fill, const QColor& outline,
                 double outlineWidth) {
    if (!Reasonable(centre)) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(outline, outlineWidth));
    painter.setBrush(fill);
    painter.drawEllipse(centre, kMarkRadiusPixels, kMarkRadiusPixels);
    // The number's text box is centred on the disc, as wide as the text needs.
    QFont font = MarkerFont();
    QString text = QString::number(number);
    // Three digits are narrowed to stay inside the rim, where white stays readable.
    double room = 2 * kMarkRadiusPixels - 2 * outlineWidth - 2;
    double natural = QFontMetricsF(font).horizontalAdvance(text);
    if (natural > room) font.setStretch(std::max(60, static_cast<int>(100 * room / natural)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    QFontMetricsF metrics(painter.font());
    QSizeF box(metrics.horizontalAdvance(text), metrics.height());
    painter.drawText(QRectF(centre - QPointF(box.width() / 2, box.height() / 2), box), Qt::AlignCenter, text);
    painter.restore();
}

QPointF PictureBox::Twips(const QMouseEvent* event) const { return event->position() * kTwipsPerPixel / scale_; }

void PictureBox::mousePressEvent(QMouseEvent* event) {
    QPointF p = Twips(event);
    emit MouseDown(ButtonCode(event->button()), ShiftCode(event->modifiers()), p.x(), p.y());
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    QPointF p = Twips(event);
    emit MouseMove(ButtonCode(event->buttons()), ShiftCode(event->modifiers()), p.x(), p.y());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    QPointF p = Twips(event);
    emit MouseUp(ButtonCode(event->button()), ShiftCode(event->modifiers()), p.x(), p.y());
}

void OverviewBox::ShowDrawing(const QImage& drawing) {
    source_ = drawing;
    showing_ = true;
    RefreshScaled();
    update();
}

void OverviewBox::Clear() {
    source_ = QImage();
    scaled_ = QImage();
    scaledFrom_ = 0;
    showing_ = false;
    circles_.clear();
    update();
}

void OverviewBox::ClearCircles() {
    circles_.clear();
    update();
}

void OverviewBox::AddCircle(const OverviewCircle& circle) {
    circles_.push_back(circle);
    update();
}

void OverviewBox::RefreshScaled() {
    if (source_.isNull() || width() <= 0 || height() <= 0) {
        scaled_ = QImage();
        return;
    }
    if (scaledFrom_ == source_.cacheKey() && scaled_.size() == size()) return;
    scaled_ = source_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    scaledFrom_ = source_.cacheKey();
}

void OverviewBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), BlankViewColour());
    if (!showing_) return;
    RefreshScaled();
    if (!scaled_.isNull()) {
        QRect part = event->rect().intersected(scaled_.rect());
        painter.drawImage(part, scaled_, part);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    for (const OverviewCircle& c : circles_) {
        QPointF centre = c.CentreTwips * Scale() / kTwipsPerPixel;
        if (!Reasonable(centre)) continue;
        painter.setPen(QPen(c.Colour, 2));
        // Drawn smaller, a circle keeps a size the eye finds at a glance.
        constexpr double kFindable = 6;
        double designed = c.RadiusTwips / kTwipsPerPixel;
        double r = std::max(designed * Scale(), std::min(designed, kFindable));
        painter.drawEllipse(centre, r, r);
    }
}

void DetailBox::Show(const QImage& drawing, int viewX, int viewY, std::vector<DetailDisc> discs) {
    drawing_ = drawing;
    viewX_ = viewX;
    viewY_ = viewY;
    discs_ = std::move(discs);
    update();
}

void DetailBox::Clear() {
    drawing_ = QImage();
    discs_.clear();
    update();
}

void DetailBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), BlankViewColour());
    if (drawing_.isNull()) return;
    // Whole pixels keep the drawing 1:1 and sharp.
    QPoint origin(-static_cast<int>(std::lround(PixelsFromTwips(viewX_))),
                  -static_cast<int>(std::lround(PixelsFromTwips(viewY_))));
    QRect target = QRect(origin, drawing_.size()).intersected(event->rect());
    if (!target.isEmpty()) painter.drawImage(target, drawing_, target.translated(-origin));
    for (const DetailDisc& disc : discs_)
        PaintMarker(painter, disc.CentreTwips / kTwipsPerPixel, disc.Number, disc.Fill, Qt::black, 1);
}

}  // namespace ziv
