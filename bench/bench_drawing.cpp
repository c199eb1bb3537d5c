// Repaint and export times of the drawing editor on a large drawing
// (7000 x 5000 pixels): a mouse-move repaint must fit well inside the 60 ms tick.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "platform/dialogs_qt.h"
#include "bench_qt_main.h"
#include "bench_smoke.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "drawing/drawing_export_qt.h"
#include "drawing/drawing_views_qt.h"
#include "drawing/drawing_editor_ui.h"
#include "links/instrument_link.h"
#include "platform/paths.h"

namespace {

using namespace ziv;

class BenchHost : public EditorHost {
public:
    std::string folder;
    DrawingEditor* editor = nullptr;
    int ShownMachine() const override { return 0; }
    int CurrentRow(int) const override { return 1; }
    std::string ShownProductFolder() const override { return folder; }
    bool RunEnded() const override { return true; }
    std::string ExportFile() const override { return JoinPath(folder, "Data.jpg"); }
    void FocusGrid() override {}
    void SetMeasurementWindowEnabled(bool) override {}
    // Nothing is designated while measuring: no designation reaches the station.
    DesignationKept KeepDesignation(const std::string&, int, const DesignatedPoint&) override { return {}; }
};

QImage LargeDrawing() {
    QImage image(7000, 5000, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 4));
    for (int i = 0; i < 60; ++i) p.drawLine(100 + i * 110, 100, 6900 - i * 90, 4900);
    for (int i = 0; i < 30; ++i) p.drawEllipse(QPoint(3500, 2500), 100 + i * 70, 80 + i * 50);
    QFont font;
    font.setPixelSize(60);
    p.setFont(font);
    for (int i = 0; i < 40; ++i) p.drawText(200, 200 + i * 110, QStringLiteral("寸法 %1 ±0.02").arg(i));
    return image;
}

struct Fixture {
    std::string root;
    BenchHost host;
    std::int64_t moveClock = 0;
    std::unique_ptr<DrawingEditor> editor;

    Fixture() {
        char pattern[] = "/tmp/ziv-bench-XXXXXX";
        root = mkdtemp(pattern);
        host.folder = JoinPath(root, "P");
        MakeFolders(JoinPath(root, "Config"));
        MakeFolders(host.folder);
        Must(WriteDefaultLinks(LinksFilePath(root)));
        std::string drawing = JoinPath(host.folder, "P.jpg");
        LargeDrawing().save(QString::fromStdString(drawing), "JPEG", 90);
        PointTable table;
        for (int n = 1; n <= 100; ++n) {
            table.PosX[n] = static_cast<float>(100 + (n * 113) % 11800);
            table.PosY[n] = static_cast<float>(100 + (n * 71) % 8400);
        }
        Must(SavePointTable(StationFiles(), PointTableFilePath(host.folder), table));
        editor = std::make_unique<DrawingEditor>(&host, root, DesktopDialogs(), StationFiles());
        host.editor = editor.get();
        editor->Load();
        editor->SetMoveClock([this] { return moveClock; });  // every move is due
        if (!editor->LoadDrawing(0, drawing)) std::abort();
        editor->LoadPosDat(PointTableFilePath(host.folder));
        editor->currentPointChanged();
    }
    ~Fixture() {
        editor.reset();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

std::unique_ptr<Fixture> shared;

Fixture& Shared() {
    if (!shared) shared = std::make_unique<Fixture>();
    return *shared;
}

// What one tick's mouse move over the overview costs: new pending circle,
// detail view centred, and both boxes painted.
void BM_OverviewMouseRepaint(benchmark::State& state) {
    DrawingEditor& editor = *Shared().editor;
    auto* overviewBox = editor.findChild<OverviewBox*>("overview");
    QImage overview(overviewBox->size(), QImage::Format_ARGB32_Premultiplied);
    auto* detailBox = editor.findChild<DetailBox*>("detail");
    QImage detail(detailBox->size(), QImage::Format_ARGB32_Premultiplied);
    editor.overviewMouseDown(1, 0, 3000, 3000);
    double x = 0;
    for (auto _ : state) {
        x = x > 11000 ? 100 : x + 450;
        Shared().moveClock += MoveThrottle::kIntervalMs;
        editor.overviewMouseMove(1, 0, x, 4000);
        overviewBox->render(&overview);
        detailBox->render(&detail);
        benchmark::DoNotOptimize(overview.constBits());
    }
    editor.overviewMouseUp(1, 0, x, 4000);
}
BENCHMARK(BM_OverviewMouseRepaint)->Unit(benchmark::kMillisecond)->Repetitions(BenchSize(5, 1))->ReportAggregatesOnly(true);

// Painting the overview box alone, from its cached scaled drawing.
void BM_OverviewRepaint(benchmark::State& state) {
    DrawingEditor& editor = *Shared().editor;
    auto* overviewBox = editor.findChild<OverviewBox*>("overview");
    QImage overview(overviewBox->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        overviewBox->render(&overview);
        benchmark::DoNotOptimize(overview.constBits());
    }
}
BENCHMARK(BM_OverviewRepaint)->Unit(benchmark::kMillisecond)->Repetitions(BenchSize(5, 1))->ReportAggregatesOnly(true);

// One tick of panning the detail view: new origin and the view painted 1:1.
void BM_DetailPanRepaint(benchmark::State& state) {
    DrawingEditor& editor = *Shared().editor;
    editor.toggleZoom();  // the zoomed view is the largest detail view
    auto* detailBox = editor.findChild<DetailBox*>("detail");
    QImage detail(detailBox->size(), QImage::Format_ARGB32_Premultiplied);
    editor.detailMouseDown(1, 0, 0, 0);
    double x = 0;
    for (auto _ : state) {
        x += 150;
        Shared().moveClock += MoveThrottle::kIntervalMs;
        editor.detailMouseMove(1, 0, std::fmod(x, 6000.0), 0);
        detailBox->render(&detail);
        benchmark::DoNotOptimize(detail.constBits());
    }
    editor.detailMouseUp(1, 0, 0, 0);
    editor.toggleZoom();
}
BENCHMARK(BM_DetailPanRepaint)->Unit(benchmark::kMillisecond)->Repetitions(BenchSize(5, 1))->ReportAggregatesOnly(true);

// The scaled copy is made once per drawing; this is what that once costs.
void BM_OverviewScaleOnce(benchmark::State& state) {
    const QImage& drawing = Shared().editor->Drawing(0);
    for (auto _ : state) {
        QImage scaled = drawing.scaled(800, 571, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
}
BENCHMARK(BM_OverviewScaleOnce)->Unit(benchmark::kMillisecond)->Repetitions(BenchSize(5, 1))->ReportAggregatesOnly(true);

// The whole export: marked canvas, JPEG at quality 100, atomic write.
void BM_ExportInspectionDrawing(benchmark::State& state) {
    Fixture& f = Shared();
    for (auto _ : state) {
        QImage canvas = RenderInspectionDrawing(f.editor->Drawing(0), f.editor->Table(0));
        FileResult saved = SavePictureJpeg(canvas, JoinPath(f.host.folder, "Data.jpg"), 100);
        if (!saved) {
            state.SkipWithError("JPEG not written");
            break;
        }
    }
}
BENCHMARK(BM_ExportInspectionDrawing)->Unit(benchmark::kMillisecond)->Repetitions(BenchSize(5, 1))->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    ziv::RunBenchmarksWithApplication(argc, argv, [] { shared.reset(); });
    return 0;
}
