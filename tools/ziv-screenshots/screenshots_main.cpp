// ziv-screenshots OUTDIR: opens the four windows of ZIV offscreen on the demo
// installation that ZIV_ROOT names, measures a few points, exports the
// inspection drawing, and writes the pictures of the README into OUTDIR.
// ziv-screenshots --icon FILE SIZE: paints the program's icon.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPainter>
#include <QListWidget>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "demo_products.h"
#include "drawing/drawing_editor_ui.h"
#include "links/settings_window_ui.h"
#include "operators/operator_window_ui.h"
#include "platform/dialogs_qt.h"
#include "platform/paths.h"
#include "platform/ui_font_qt.h"
#include "station/measurement_window_ui.h"
#include "station/sheet_grid_qt.h"

namespace {

// Points measured before the pictures are taken: enough to show passes, a
// failure and the input position further down the list.
constexpr int kPointsMeasured = 9;

// The pictures are taken unattended: boxes are written to standard error
// afterwards instead of waiting for a click, and no save dialog is answered.
class UnattendedDialogs : public ziv::Dialogs {
public:
    std::vector<QString> shown;
    void Show(QWidget*, const ziv::ShownMessage& message) override { shown.push_back(message.text); }
    std::optional<ziv::ChosenFile> AskSaveFile(QWidget*, const QString&) override { return std::nullopt; }
};

void Settle(int ms = 150) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Save(const QImage& image, const QString& folder, const char* name) {
    QString path = QDir(folder).filePath(QString::fromUtf8(name));
    if (image.isNull() || !image.save(path, "PNG")) {
        std::cerr << "ziv-screenshots: cannot write " << path.toStdString() << "\n";
        return false;
    }
    std::cout << path.toStdString() << "\n";
    return true;
}

// A caliper over a passed check, on the blue of the window frames.
QImage PaintIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(31, 78, 121));
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    p.setBrush(QColor(236, 240, 244));
    p.drawRect(QRectF(30, 58, 196, 30));                                    // beam
    p.drawPolygon(QPolygonF({{30, 58}, {62, 58}, {62, 170}, {46, 196}, {30, 170}}));  // fixed jaw
    p.drawPolygon(QPolygonF({{132, 58}, {164, 58}, {164, 170}, {148, 196}, {132, 170}}));  // slider
    p.setPen(QPen(QColor(31, 78, 121), 3));
    for (int k = 0; k < 9; ++k) {
        double x = 74 + k * 16;
        if (x > 126 && x < 170) continue;
        p.drawLine(QPointF(x, 60), QPointF(x, k % 2 ? 72 : 80));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(46, 160, 67));
    p.drawEllipse(QPointF(188, 176), 46, 46);
    p.setPen(QPen(Qt::white, 13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{166, 176}, {182, 194}, {212, 158}}));
    return icon;
}

QImage Shot(QWidget& window) {
    window.show();
    window.raise();
    Settle();
    return window.grab().toImage();
}

}  // namespace

int main(int argc, char** argv) {
    bool icon = argc == 4 && std::string(argv[1]) == "--icon";
    if (argc != 2 && !icon) {
        std::cerr << "usage: ZIV_ROOT=<demo root> ziv-screenshots OUTDIR\n"
                     "       ziv-screenshots --icon FILE.png SIZE\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (icon) {
        QFileInfo file(QString::fromLocal8Bit(argv[2]));
        return Save(PaintIcon(std::atoi(argv[3])), file.absolutePath(), file.fileName().toUtf8().constData()) ? 0 : 1;
    }
    app.setApplicationName("ZIV");
    app.setFont(ziv::UiFont());
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    UnattendedDialogs dialogs;
    // A demo installation of its own, which no other station shares while the pictures are taken.
    ziv::Files files{ziv::RealDisk(), ziv::NoFileLocks()};
    ziv::OperatorWindow operatorWindow(dialogs, files.disk);
    if (!operatorWindow.startUp() || operatorWindow.Operators().Names.empty()) {
        std::cerr << "ziv-screenshots: ZIV_ROOT holds no demo installation (run scripts/demo-prepare)\n";
        return 1;
    }
    operatorWindow.operatorList()->setCurrentRow(0);
    operatorWindow.resize(380, 330);
    bool ok = Save(Shot(operatorWindow), out, "operator-window.png");
    operatorWindow.hide();

    {
        ziv::SettingsWindow settingsWindow(operatorWindow.savePath(), dialogs, files.disk);
        settingsWindow.resize(760, 720);
        ok = Save(Shot(settingsWindow), out, "settings-window.png") && ok;
        settingsWindow.hide();
    }

    const auto& lists = operatorWindow.Operators();
    ziv::MeasurementWindow measurementWindow({operatorWindow.savePath(), lists.Folders[0], lists.Names[0]}, dialogs, files);
    if (!measurementWindow.startUp()) {
        std::cerr << "ziv-screenshots: the measurement window did not start\n";
        return 1;
    }
    measurementWindow.resize(1440, 860);
    measurementWindow.show();
    measurementWindow.startMeasuring();
    const auto& points = ziv::demo::DemoProducts()[0].Points;
    for (int i = 0; i < kPointsMeasured; ++i) measurementWindow.AcceptReading(points[i].Reading);
    // The grid keeps the row before the input position on top; the picture
    // shows the list from its first point, as an operator scrolls it.
    Settle();
    measurementWindow.Grid(0)->SetTopRow(1);
    ok = Save(Shot(measurementWindow), out, "measurement-window.png") && ok;

    ziv::DrawingEditor* editor = measurementWindow.Editor();
    editor->resize(1010, 680);
    editor->currentPointChanged();
    ok = Save(Shot(*editor), out, "drawing-editor.png") && ok;

    editor->ExportInspectionDrawing();
    QImage exported(QString::fromStdString(ziv::JoinPath(measurementWindow.ProductPath(0), "Data.jpg")));
    ok = Save(exported.scaledToWidth(1200, Qt::SmoothTransformation), out, "exported-drawing.png") && ok;

    for (const QString& text : dialogs.shown) std::cerr << "message: " << text.toStdString() << "\n";
    measurementWindow.close();
    return ok ? 0 : 1;
}
