#pragma once
// The editor's two picture boxes. Each keeps what was last drawn into it
// (the drawing, its circles or discs) and paints that whenever Qt asks, so a
// repaint never has to go back to the editor's state.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QWidget>
#include <optional>
#include <vector>

namespace ziv {

// Bold marker numbers, 18 points (24 pixels at 15 twips to a pixel).
QFont MarkerFont();
// Background of the parts of a view that show no drawing.
QColor BlankViewColour();

// A filled disc of radius 18 pixels with its number centred on it.
void PaintMarker(QPainter& painter, QPointF centre, int number, const QColor& fill, const QColor& outline,
                 double outlineWidth);

// Mouse events of a picture box, in the box's own twips as designed (button
// and shift codes: 1 left, 2 right, 4 middle; 1 shift, 2 ctrl, 4 alt).
class PictureBox : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // A box drawn smaller than designed: its pixels stand for more twips.
    void SetScale(double scale) { scale_ = scale; }
    double Scale() const { return scale_; }
signals:
    void MouseDown(int button, int shift, double x, double y);
    void MouseMove(int button, int shift, double x, double y);
    void MouseUp(int button, int shift, double x, double y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF Twips(const QMouseEvent* event) const;
    double scale_ = 1;
};

struct OverviewCircle {
    QPointF CentreTwips;
    double RadiusTwips = 0;
    QColor Colour;
};

// overview: the whole drawing scaled into the box, and circles on top, their
// places and radii in the designed box's twips.
class OverviewBox : public PictureBox {
    Q_OBJECT
public:
    using PictureBox::PictureBox;
    // Scales the drawing to the box's size; the scaled copy is kept until the
    // drawing or the size changes, so repaints only copy pixels.
    void ShowDrawing(const QImage& drawing);
    void Clear();
    void ClearCircles();
    void AddCircle(const OverviewCircle& circle);
    const std::vector<OverviewCircle>& Circles() const { return circles_; }
    const QImage& Scaled() const { return scaled_; }
    bool ShowsDrawing() const { return showing_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RefreshScaled();
    QImage source_;
    QImage scaled_;
    qint64 scaledFrom_ = 0;
    bool showing_ = false;
    std::vector<OverviewCircle> circles_;
};

struct DetailDisc {
    QPointF CentreTwips;  // in the view's own twips
    int Number = 0;
    QColor Fill;
};

// detail: the drawing at natural size from (ViewX, ViewY) on, with discs.
class DetailBox : public PictureBox {
    Q_OBJECT
public:
    using PictureBox::PictureBox;
    void Show(const QImage& drawing, int viewX, int viewY, std::vector<DetailDisc> discs);
    void Clear();
    int ViewX() const { return viewX_; }
    int ViewY() const { return viewY_; }
    const std::vector<DetailDisc>& Discs() const { return discs_; }
    bool ShowsDrawing() const { return !drawing_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage drawing_;
    int viewX_ = 0;
    int viewY_ = 0;
    std::vector<DetailDisc> discs_;
};

}  // namespace ziv
