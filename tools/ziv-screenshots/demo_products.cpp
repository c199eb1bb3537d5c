#include "demo_products.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include "drawing/point_table.h"
#include "drawing/view_geometry.h"
#include "links/instrument_link.h"
#include "operators/operator_lists.h"
#include "platform/paths.h"
#include "records/product_registry.h"

namespace ziv::demo {

namespace {

// Instrument list indices (the editor's list: F keys first, then the kinds).
constexpr int kF1 = 1;
constexpr int kPinGauge = 11;
constexpr int kThreadGauge = 13;
constexpr int kCaliper = 18;
constexpr int kProjector = 19;

// The flange: front view on the left, section on the right. Drawn at 3 pixels to the millimetre.
DemoProduct Flange() {
    return {"フランジA-100", "フランジ", "A-100", 1600, 1131,
            {
                {"Φ120", "120", "0.02", "-0.03", "119.995", 70, 690, 244, 560, true, kF1, "119.988"},
                {"Φ60 H7", "60", "0.03", "0", "60.015", 70, 330, 336, 406, true, kF1, "60.012"},
                {"Φ70", "70", "0", "-0.03", "69.985", 70, 420, 296, 455, true, kF1, "69.981"},
                {"PCD90", "90", "0.05", "-0.05", "90", 640, 330, 527, 424, true, kProjector, "90.021"},
                {"穴1 Φ10", "10", "0.02", "0", "10.01", 640, 250, 507, 365, true, kPinGauge, "10.008"},
                {"穴2 Φ10", "10", "0.02", "0", "10.01", 70, 250, 294, 364, true, kPinGauge, "10.026"},
                {"穴3 Φ10", "10", "0.02", "0", "10.01", 70, 600, 290, 570, true, kPinGauge, "10.011"},
                {"穴4 Φ10", "10", "0.02", "0", "10.01", 640, 600, 510, 569, true, kPinGauge, "10.004"},
                {"15", "15", "0.05", "-0.05", "15", 930, 760, 1102, 690, true, kF1, "15.018"},
                {"35", "35", "0.1", "-0.1", "35", 1230, 190, 1132, 240, true, kCaliper, "34.962"},
                {"20", "20", "0.05", "-0.05", "20", 1230, 760, 1155, 690, true, kCaliper, "20.031"},
                {"溝 Φ100", "100", "0.05", "-0.05", "100", 640, 470, 541, 521, true, kCaliper, "100.012"},
                {"溝幅 5", "5", "0.05", "0", "5.02", 1230, 300, 1086, 318, false, 0, "5.024"},
                {"溝深さ 2", "2", "0.05", "-0.05", "2", 1230, 355, 1083, 327, false, 0, "2.071"},
                {"キー溝 8 Js9", "8", "0.018", "-0.018", "8", 170, 190, 392, 372, false, 0, "8.006"},
                {"63.3", "63.3", "0.2", "0", "63.4", 440, 190, 406, 371, false, 0, "63.352"},
                {"C1", "1", "0.2", "-0.2", "", 1230, 245, 1122, 293, false, 0, "1.08"},
                {"平面度 0.02", "0", "0.02", "0", "", 880, 560, 1080, 600, false, 0, "0.012"},
                {"直角度 0.03", "0", "0.03", "0", "", 1230, 520, 1187, 568, false, 0, "0.034"},
                {"Ra1.6", "1.6", "0", "-1.6", "", 1230, 600, 1150, 562, false, 0, "0.82"},
            }};
}

// The shaft, standing upright: 6 pixels to the millimetre.
DemoProduct Shaft() {
    return {"シャフトB-200", "シャフト", "B-200", 1131, 1600,
            {
                {"M16×1.5", "15.026", "0", "-0.132", "14.96", 600, 310, 478, 330, true, kThreadGauge, "14.98"},
                {"Φ20 h6", "20", "0", "-0.013", "19.994", 600, 460, 490, 470, true, kF1, "19.991"},
                {"Φ30 k6", "30", "0.015", "0.002", "30.008", 600, 680, 520, 700, true, kF1, "30.011"},
                {"Φ25 g6", "25", "-0.007", "-0.02", "24.987", 600, 960, 505, 980, true, kF1, "24.985"},
                {"Φ20", "20", "0", "-0.021", "19.99", 600, 1150, 490, 1130, true, kF1, "19.975"},
                {"20", "20", "0.2", "-0.2", "20", 170, 320, 300, 320, true, kCaliper, "20.05"},
                {"30", "30", "0.1", "-0.1", "30", 170, 470, 300, 470, true, kCaliper, "29.97"},
                {"50", "50", "0.1", "-0.1", "50", 170, 710, 300, 710, true, kCaliper, "50.04"},
                {"40", "40", "0.1", "-0.1", "40", 170, 980, 300, 980, true, kCaliper, "39.95"},
                {"10", "10", "0.1", "-0.1", "10", 170, 1130, 300, 1130, true, kCaliper, "10.02"},
                {"150", "150", "0.2", "-0.2", "150", 130, 1235, 110, 1140, false, 0, "150.12"},
                {"キー溝 8 N9", "8", "0", "-0.036", "7.982", 600, 560, 454, 640, false, 0, "7.978"},
                {"t 26", "26", "0", "-0.2", "25.9", 600, 760, 450, 760, false, 0, "25.93"},
                {"キー溝長 40", "40", "0.2", "0", "40.1", 600, 840, 440, 828, false, 0, "40.12"},
                {"C0.5", "0.5", "0.1", "-0.1", "", 600, 200, 475, 263, false, 0, "0.47"},
                {"R1", "1", "0.2", "-0.2", "", 600, 905, 506, 862, false, 0, "1.31"},
                {"同軸度 Φ0.02", "0", "0.02", "0", "", 600, 1030, 520, 820, false, 0, "0.008"},
                {"振れ 0.01", "0", "0.01", "0", "", 600, 1090, 505, 1060, false, 0, "0.006"},
                {"真円度 0.005", "0", "0.005", "0", "", 600, 1210, 484, 1158, false, 0, "0.003"},
                {"Ra0.8", "0.8", "0", "-0.8", "", 600, 1270, 505, 1080, false, 0, "0.55"},
            }};
}

QFont DrawingFont(int pixels, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QPen Outline() { return QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }
QPen Thin() { return QPen(Qt::black, 1.5); }
QPen Hidden() { return QPen(Qt::black, 1.5, Qt::DashLine); }
QPen CentreLine() { return QPen(QColor(0, 0, 160), 1.2, Qt::DashDotLine); }

void Arrow(QPainter& p, QPointF from, QPointF tip) {
    QLineF line(tip, from);
    if (line.length() < 1) return;
    QLineF unit = line.unitVector();
    QPointF d = (unit.p2() - unit.p1()) * 14;
    QPointF n(-d.y() * 0.3, d.x() * 0.3);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({tip, tip + d + n, tip + d - n}));
    p.restore();
}

// A dimension line between a and b with arrows at both ends.
void DimensionLine(QPainter& p, QPointF a, QPointF b) {
    p.setPen(Thin());
    p.drawLine(a, b);
    Arrow(p, b, a);
    Arrow(p, a, b);
}

// Form tolerances (nominal 0) carry their limit in the label already.
QString ToleranceText(const DemoPoint& point) {
    if (std::string_view(point.Nominal) == "0") return {};
    QString upper = QString::fromUtf8(point.Upper), lower = QString::fromUtf8(point.Lower);
    auto sign = [](const QString& t) { return t.startsWith('-') || t == "0" ? t : "+" + t; };
    if (upper == lower.mid(1) && lower.startsWith('-')) return QString::fromUtf8("±") + upper;
    return sign(upper) + " / " + sign(lower);
}

// The dimension text with its tolerance, underlined, and a leader to the feature.
void Callout(QPainter& p, const DemoPoint& point) {
    QFont main = DrawingFont(24), small = DrawingFont(15);
    QString text = QString::fromUtf8(point.Label), tolerance = ToleranceText(point);
    int width = QFontMetrics(main).horizontalAdvance(text);
    int tolWidth = QFontMetrics(small).horizontalAdvance(tolerance);
    p.setPen(Qt::black);
    p.setFont(main);
    p.drawText(QPointF(point.LabelX, point.LabelY + 9), text);
    p.setFont(small);
    p.drawText(QPointF(point.LabelX + width + 6, point.LabelY + 2), tolerance);
    double underline = point.LabelY + 15;
    double right = point.LabelX + width + 6 + tolWidth;
    p.setPen(Thin());
    p.drawLine(QPointF(point.LabelX, underline), QPointF(right, underline));
    QPointF start = point.AnchorX < point.LabelX ? QPointF(point.LabelX, underline) : QPointF(right, underline);
    QPointF tip(point.AnchorX, point.AnchorY);
    p.drawLine(start, tip);
    Arrow(p, start, tip);
}

void Hatch(QPainter& p, const QPainterPath& region) {
    p.save();
    p.setClipPath(region);
    p.setPen(QPen(Qt::black, 1));
    QRectF box = region.boundingRect();
    for (double x = box.left() - box.height(); x < box.right(); x += 12)
        p.drawLine(QPointF(x, box.bottom()), QPointF(x + box.height(), box.top()));
    p.restore();
}

void FrameAndTitle(QPainter& p, const DemoProduct& product, QRectF block) {
    p.setPen(QPen(Qt::black, 4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(20, 20, product.Width - 40, product.Height - 40));
    p.setPen(QPen(Qt::black, 2));
    p.drawRect(block);
    const char* rows[][2] = {{"品名", product.Title}, {"図番", product.Number}, {"材質", "S45C"},
                             {"単位", "mm"},          {"尺度", "NTS"}};
    double rowHeight = block.height() / 5;
    for (int i = 0; i < 5; ++i) {
        double y = block.top() + i * rowHeight;
        if (i > 0) p.drawLine(QPointF(block.left(), y), QPointF(block.right(), y));
        p.setFont(DrawingFont(18));
        p.drawText(QRectF(block.left() + 10, y, 80, rowHeight), Qt::AlignVCenter, QString::fromUtf8(rows[i][0]));
        p.setFont(DrawingFont(i == 0 ? 26 : 20, i < 2));
        p.drawText(QRectF(block.left() + 100, y, block.width() - 110, rowHeight), Qt::AlignVCenter,
                   QString::fromUtf8(rows[i][1]));
    }
    p.drawLine(QPointF(block.left() + 90, block.top()), QPointF(block.left() + 90, block.bottom()));
    p.setFont(DrawingFont(16));
    p.drawText(QPointF(block.left(), block.bottom() + 16), QString::fromUtf8("ZIV デモ図面"));
}

void Notes(QPainter& p, QPointF at) {
    p.setPen(Qt::black);
    p.setFont(DrawingFont(18, true));
    p.drawText(at, QString::fromUtf8("注記"));
    p.setFont(DrawingFont(17));
    p.drawText(at + QPointF(0, 28), QString::fromUtf8("1. 指示なき角部は C0.5 とする。"));
    p.drawText(at + QPointF(0, 54), QString::fromUtf8("2. 普通公差は JIS B 0405 m 級による。"));
}

void ViewTitle(QPainter& p, QPointF centre, const char* title) {
    p.setPen(Qt::black);
    p.setFont(DrawingFont(22, true));
    QString text = QString::fromUtf8(title);
    p.drawText(QPointF(centre.x() - QFontMetrics(p.font()).horizontalAdvance(text) / 2.0, centre.y()), text);
}

void PaintFlange(QPainter& p) {
    const QPointF c(400, 470);
    p.setPen(CentreLine());
    p.drawLine(QPointF(190, c.y()), QPointF(610, c.y()));
    p.drawLine(QPointF(c.x(), 260), QPointF(c.x(), 680));
    p.drawEllipse(c, 135, 135);
    p.setPen(Hidden());
    p.drawEllipse(c, 150, 150);
    p.drawEllipse(c, 105, 105);
    p.setPen(Outline());
    p.drawEllipse(c, 180, 180);
    for (int k = 0; k < 4; ++k) {
        double a = qDegreesToRadians(45.0 + 90.0 * k);
        QPointF h(c.x() + 135 * std::cos(a), c.y() - 135 * std::sin(a));
        p.setPen(Outline());
        p.drawEllipse(h, 15, 15);
        p.setPen(CentreLine());
        p.drawLine(h - QPointF(22, 0), h + QPointF(22, 0));
        p.drawLine(h - QPointF(0, 22), h + QPointF(0, 22));
    }
    QPainterPath bore;
    bore.addEllipse(c, 90, 90);
    QPainterPath key;
    key.addRect(QRectF(c.x() - 12, c.y() - 99.9, 24, 20));
    p.setPen(Outline());
    p.drawPath(bore.united(key));
    ViewTitle(p, QPointF(c.x(), 735), "正面図");

    // Section A-A: plate, hub, bore, the groove in the face.
    auto upper = QPolygonF({{1080, 290}, {1119, 290}, {1125, 296}, {1125, 365}, {1185, 365}, {1185, 380},
                            {1080, 380}, {1080, 327.5}, {1086, 327.5}, {1086, 312.5}, {1080, 312.5}});
    QPolygonF lower;
    for (QPointF q : upper) lower << QPointF(q.x(), 940 - q.y());
    QPainterPath section;
    section.addPolygon(upper);
    section.closeSubpath();
    section.addPolygon(lower);
    section.closeSubpath();
    Hatch(p, section);
    p.setPen(Outline());
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(upper);
    p.drawPolygon(lower);
    p.setPen(CentreLine());
    p.drawLine(QPointF(1060, 470), QPointF(1205, 470));
    p.setPen(Thin());
    p.drawLine(QPointF(1080, 285), QPointF(1080, 232));
    p.drawLine(QPointF(1185, 360), QPointF(1185, 232));
    DimensionLine(p, QPointF(1080, 240), QPointF(1185, 240));
    p.drawLine(QPointF(1080, 655), QPointF(1080, 698));
    p.drawLine(QPointF(1125, 655), QPointF(1125, 698));
    p.drawLine(QPointF(1185, 580), QPointF(1185, 698));
    DimensionLine(p, QPointF(1080, 690), QPointF(1125, 690));
    DimensionLine(p, QPointF(1125, 690), QPointF(1185, 690));
    ViewTitle(p, QPointF(1132, 830), "A-A 断面");
}

void PaintShaft(QPainter& p) {
    const double x0 = 430;
    struct Step {
        double top, bottom, half;
    };
    const Step steps[] = {{260, 380, 48}, {380, 560, 60}, {560, 860, 90}, {860, 1100, 75}, {1100, 1160, 60}};
    p.setPen(CentreLine());
    p.drawLine(QPointF(x0, 230), QPointF(x0, 1190));
    QPolygonF right;
    right << QPointF(x0 + 42, 260) << QPointF(x0 + 48, 266);
    for (const Step& s : steps) right << QPointF(x0 + s.half, s.top) << QPointF(x0 + s.half, s.bottom);
    right.removeAt(2);  // the thread's top corner is the chamfer
    right.last() = QPointF(x0 + 60, 1154);
    right << QPointF(x0 + 54, 1160);
    QPolygonF outline = right;
    for (int i = right.size() - 1; i >= 0; --i) outline << QPointF(2 * x0 - right[i].x(), right[i].y());
    p.setPen(Outline());
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(outline);
    for (double y : {266.0, 1154.0}) p.drawLine(QPointF(x0 - 42, y), QPointF(x0 + 42, y));
    for (size_t i = 1; i < std::size(steps); ++i) {
        double half = std::max(steps[i - 1].half, steps[i].half);
        p.drawLine(QPointF(x0 - half, steps[i].top), QPointF(x0 + half, steps[i].top));
    }
    p.setPen(Thin());
    p.drawLine(QPointF(x0 - 41, 266), QPointF(x0 - 41, 380));
    p.drawLine(QPointF(x0 + 41, 266), QPointF(x0 + 41, 380));
    p.setPen(Outline());
    p.drawRoundedRect(QRectF(x0 - 24, 590, 48, 240), 24, 24);

    // Lengths: a chain on the left and the whole length further out.
    p.setPen(Thin());
    const double levels[] = {260, 380, 560, 860, 1100, 1160};
    for (size_t i = 0; i < std::size(levels); ++i) {
        double half = i < std::size(steps) ? steps[i].half : steps[i - 1].half;
        if (i > 0 && i < std::size(steps)) half = std::max(half, steps[i - 1].half);
        double reach = (i == 0 || i + 1 == std::size(levels)) ? 102 : 292;
        p.drawLine(QPointF(x0 - half - 6, levels[i]), QPointF(reach, levels[i]));
        if (i > 0) DimensionLine(p, QPointF(300, levels[i - 1]), QPointF(300, levels[i]));
    }
    DimensionLine(p, QPointF(110, 260), QPointF(110, 1160));
    ViewTitle(p, QPointF(x0, 1290), "正面図");
}

PointTable PointTableFor(const DemoProduct& product) {
    PointTable table;
    DrawingSize size{TwipsFromPixels(product.Width), TwipsFromPixels(product.Height)};
    OverviewSize overview = OverviewSizeFor(size);
    for (size_t i = 0; i < product.Points.size(); ++i) {
        const DemoPoint& point = product.Points[i];
        if (!point.Placed) continue;
        int n = static_cast<int>(i) + 1;
        table.PosX[n] = static_cast<float>(WholeTwips(MarkerX(point) * overview.Width / product.Width));
        table.PosY[n] = static_cast<float>(WholeTwips(MarkerY(point) * overview.Height / product.Height));
        table.InstrumentIndex[n] = static_cast<std::int16_t>(point.Instrument);
    }
    return table;
}

// The demo's files are made before any station runs on them: nothing to lock against.
Files DemoFiles() { return {RealDisk(), NoFileLocks()}; }

FileResult WriteProduct(const std::string& root, const DemoProduct& product) {
    std::string folder = ProductFolder(root, product);
    if (!MakeFolders(folder)) return Failed(Failure::FolderNotMade, folder);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!PaintDrawing(product).save(&buffer, "JPEG", 90))
        return Failed(Failure::ImageNotEncoded, ProductDrawingPath(folder, GetProductName(folder)));
    std::string name = GetProductName(folder);
    if (auto r = WriteFileAtomic(ProductDrawingPath(folder, name), std::string_view(jpeg.constData(), jpeg.size())); !r)
        return r;
    return SavePointTable(DemoFiles(), PointTableFilePath(folder), PointTableFor(product));
}

}  // namespace

const std::vector<DemoProduct>& DemoProducts() {
    static const std::vector<DemoProduct> products{Flange(), Shaft()};
    return products;
}

std::string OperatorFolder(const std::string& root) { return JoinPath(JoinPath(root, "検査員"), kOperatorName); }
std::string ProductRootFolder(const std::string& root) { return JoinPath(root, "製品"); }
std::string ProductFolder(const std::string& root, const DemoProduct& product) {
    return JoinPath(ProductRootFolder(root), product.Name);
}

int MarkerX(const DemoPoint& point) { return point.LabelX - 26; }
int MarkerY(const DemoPoint& point) { return point.LabelY; }

QImage PaintDrawing(const DemoProduct& product) {
    QImage image(product.Width, product.Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    bool landscape = product.Width > product.Height;
    if (landscape) {
        PaintFlange(p);
        FrameAndTitle(p, product, QRectF(1080, 900, 480, 180));
        Notes(p, QPointF(60, 930));
    } else {
        PaintShaft(p);
        FrameAndTitle(p, product, QRectF(600, 1370, 490, 180));
        Notes(p, QPointF(50, 1400));
    }
    for (const DemoPoint& point : product.Points) Callout(p, point);
    return image;
}

std::string MasterLines(const DemoProduct& product) {
    std::string lines;
    for (size_t i = 0; i < product.Points.size(); ++i) {
        const DemoPoint& point = product.Points[i];
        std::string row = std::to_string(i + 1);
        const char* cells[] = {point.Nominal, point.Upper, point.Lower, point.Target};
        for (int column = 1; column <= 4; ++column) {
            if (*cells[column - 1] == '\0') continue;  // no target: no cell
            lines += "1\t" + row + "\t" + std::to_string(column) + "\t" + cells[column - 1] + "\n";
        }
    }
    return lines;
}

std::string GaugeValues() {
    std::string values;
    for (const DemoProduct& product : DemoProducts())
        for (const DemoPoint& point : product.Points) values += (values.empty() ? "" : ",") + std::string(point.Reading);
    return values;
}

FileResult WriteDemoFiles(const std::string& root) {
    std::string config = JoinPath(root, "Config");
    std::string userDir = OperatorFolder(root);
    for (const std::string& folder : {config, userDir, ProductRootFolder(root)})
        if (!MakeFolders(folder)) return Failed(Failure::FolderNotMade, folder);
    if (auto r = SaveOperatorLists(root, {{kOperatorName}, {userDir}}); !r) return r;
    if (auto r = WriteDefaultLinks(LinksFilePath(root)); !r) return r;
    if (auto r = SaveProductFolder(ProductFolderFilePath(root), ProductRootFolder(root)); !r) return r;
    ProductPathList registered{};
    for (size_t m = 0; m < DemoProducts().size(); ++m) {
        if (auto r = WriteProduct(root, DemoProducts()[m]); !r) return r;
        registered[m] = ProductFolder(root, DemoProducts()[m]);
    }
    return SaveDirectoryFile(DemoFiles(), DirectoryFilePath(userDir), registered);
}

}  // namespace ziv::demo
