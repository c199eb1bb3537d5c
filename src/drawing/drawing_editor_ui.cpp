#include "drawing/drawing_editor_ui.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "drawing/drawing_export_qt.h"
#include "drawing/drawing_views_qt.h"
#include "drawing/window_layout.h"
#include "drawing/window_placement_qt.h"
#include "links/instrument_link.h"
#include "platform/dialogs_qt.h"
#include "platform/paths.h"

namespace ziv {

namespace {

// Designed client area 15000 x 9600 twips (window_layout.h): the overview
// box 800 pixels wide, the detail view beside it.
constexpr int kOverviewBoxWidth = 800;

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kMagenta(255, 0, 255);

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// The caption's numbers: decimal text of a single value without any blank.
QString CaptionNumber(double value) {
    std::string text = SignColumnText(value);
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return Utf8(text);
}

QPushButton* Button(const char* caption, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

DrawingEditor::DrawingEditor(EditorHost* host, const std::string& savePath, Dialogs& dialogs, Files files,
                             QWidget* parent)
    : QWidget(parent),
      overview(new OverviewBox(this)),
      detail(new DetailBox(this)),
      instrumentLabel(new QLabel(this)),
      instrumentCaption(new QLabel(QStringLiteral("指定測定器名："), this)),
      designateButton(Button("測定箇所指定", this)),
      okButton(Button("OK", this)),
      cancelButton(Button("Cancel", this)),
      zoomButton(Button("拡大", this)),
      resetButton(Button("Reset", this)),
      instrumentList(new QComboBox(this)),
      host_(host),
      dialogs_(dialogs),
      files_(files),
      savePath_(savePath) {
    BuildControls();
}

DrawingEditor::~DrawingEditor() = default;

void DrawingEditor::BuildControls() {
    setWindowTitle(QStringLiteral("ZIV"));
    QFont uiFont = font();
    uiFont.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")});
    uiFont.setPointSize(9);
    setFont(uiFont);
    QFont bold = uiFont;
    bold.setBold(true);
    instrumentLabel->setFont(bold);

    overview->setObjectName("overview");
    detail->setObjectName("detail");
    instrumentLabel->setObjectName("instrumentLabel");
    instrumentCaption->setObjectName("instrumentCaption");
    designateButton->setObjectName("designateButton");
    okButton->setObjectName("okButton");
    cancelButton->setObjectName("cancelButton");
    zoomButton->setObjectName("zoomButton");
    resetButton->setObjectName("resetButton");
    instrumentList->setObjectName("instrumentList");
    overview->setAccessibleName(QStringLiteral("図面全体"));
    detail->setAccessibleName(QStringLiteral("図面拡大"));

    // Found by desktop tests and window managers among the program's windows.
    setWindowRole(QStringLiteral("drawing-editor"));
    setMinimumSize(kEditorMinimum.Width, kEditorMinimum.Height);
    resize(kEditorDesigned.Width, kEditorDesigned.Height);
    const int views = ViewsHeight();
    overview->setGeometry(0, 0, kOverviewBoxWidth, views);
    detail->setGeometry(kOverviewBoxWidth, 0, width() - kOverviewBoxWidth, views);
    PlaceBottomRow();

    // Nothing to designate or zoom until a drawing is shown.
    designateButton->setEnabled(false);
    zoomButton->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(okButton), static_cast<QWidget*>(cancelButton),
                       static_cast<QWidget*>(resetButton), static_cast<QWidget*>(instrumentList)})
        w->setVisible(false);

    connect(designateButton, &QPushButton::clicked, this, [this] { startDesignation(); });
    connect(okButton, &QPushButton::clicked, this, [this] { confirmDesignation(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelDesignation(); });
    connect(zoomButton, &QPushButton::clicked, this, [this] { toggleZoom(); });
    connect(resetButton, &QPushButton::clicked, this, [this] { resetDesignation(); });
    connect(overview, &PictureBox::MouseDown, this, &DrawingEditor::overviewMouseDown);
    connect(overview, &PictureBox::MouseMove, this, &DrawingEditor::overviewMouseMove);
    connect(overview, &PictureBox::MouseUp, this, &DrawingEditor::overviewMouseUp);
    connect(detail, &PictureBox::MouseDown, this, &DrawingEditor::detailMouseDown);
    connect(detail, &PictureBox::MouseMove, this, &DrawingEditor::detailMouseMove);
    connect(detail, &PictureBox::MouseUp, this, &DrawingEditor::detailMouseUp);

    // Key releases are seen by the window before any of its controls.
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

bool DrawingEditor::Load() {
    if (mode_.loaded) return true;
    std::string linksPath = LinksFilePath(savePath_);
    if (!IsFile(linksPath)) {
        dialogs_.Warn(this, QStringLiteral("通信設定が行われていません。"));
        return false;
    }
    instrumentTexts_ = InstrumentListTexts(LoadInstrumentLinks(linksPath, files_.disk));
    instrumentList->clear();
    for (const std::string& text : instrumentTexts_) instrumentList->addItem(Utf8(text));
    instrumentList->setCurrentIndex(0);
    if (auto placement = LoadWindowPlacement(EditorPlacementPath(savePath_), files_.disk))
        placeBroughtBack_ = ApplyPlacement(this, *placement);
    ViewWidth = 200;
    ViewHeight = 600;
    if (mode_.view == EditorView::Zoomed) mode_.view = EditorView::Beside;
    mode_.loaded = true;
    return true;
}

// ---- machine slots and their contents --------------------------------------

int DrawingEditor::Machine() const { return host_->ShownMachine(); }

int DrawingEditor::CurrentPoint() const {
    // A reading that ends during designation moves the grid on; the point
    // being designated stays the one "OK" stores.
    if (InDesignMode()) return designatedPoint_;
    int m = Machine();
    if (!IsMachineSlot(m)) return 0;
    int row = host_->CurrentRow(m);
    return IsPointNumber(row) ? row : 0;
}

bool DrawingEditor::HasDrawing(int machine) const {
    return machine >= 0 && machine < kMachineCount && !drawings_[machine].isNull();
}

bool DrawingEditor::MachineHasDrawing() const { return HasDrawing(Machine()); }

const QImage& DrawingEditor::Drawing(int machine) const {
    static const QImage kNone;
    return HasDrawing(machine) ? drawings_[machine] : kNone;
}

const PointTable& DrawingEditor::Table(int machine) const {
    static const PointTable kEmpty;
    return IsMachineSlot(machine) ? PointTables_[machine] : kEmpty;
}

bool DrawingEditor::PointsLoaded(int machine) const { return IsMachineSlot(machine) && PointsLoaded_[machine] == 1; }

// The current point is marked when the slot has a table and the point is placed.
bool DrawingEditor::CurrentPointShown() const {
    int r = CurrentPoint();
    return r != 0 && PointsLoaded(Machine()) && PointTables_[Machine()].IsPlaced(r);
}

DrawingSize DrawingEditor::CurrentDrawingSize() const {
    const QImage& image = Drawing(Machine());
    return {TwipsFromPixels(image.width()), TwipsFromPixels(image.height())};
}

namespace {
QImage ReadDrawingImage(const std::string& imagePath, Disk& disk) {
    if (!IsFile(imagePath) || disk.ReadFault(imagePath) != 0) return {};
    QImageReader reader(Utf8(imagePath));
    reader.setAutoTransform(false);
    QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}
}  // namespace

// The points are read only for a drawing that can be shown: without one the
// editor has nothing to mark them on.
DrawingFiles ReadDrawingFiles(int machine, const std::string& imagePath, const std::string& pointFile, Disk& disk) {
    DrawingFiles files;
    files.Image = ReadDrawingImage(imagePath, disk);
    if (files.Image.isNull()) return files;
    files.PointFile = pointFile;
    files.PointsRead = ReadPointTableFile(pointFile, files.Points, &files.PointsProblem, machine, disk);
    return files;
}

bool DrawingEditor::LoadDrawing(int machine, const std::string& imagePath) {
    if (machine < 0 || machine >= kMachineCount) return false;
    drawings_[machine] = ReadDrawingImage(imagePath, files_.disk);
    return !drawings_[machine].isNull();
}

void DrawingEditor::TakeDrawing(int machine, DrawingFiles files) {
    if (!IsMachineSlot(machine) || machine >= kMachineCount) return;
    if (files.Image.isNull()) {
        forgetDrawing(machine);
        return;
    }
    drawings_[machine] = std::move(files.Image);
    TakePoints(machine, files.PointFile, files.PointsRead, files.Points, files.PointsProblem);
}

// A product without Data.dat starts from an empty table, never from the
// points of the product that the slot showed before.
void DrawingEditor::LoadPosDat(const std::string& path) {
    int m = Machine();
    if (!IsMachineSlot(m)) return;
    FileResult problem;
    PointTable table;
    ReadStatus status = ReadPointTableFile(path, table, &problem, m, files_.disk);
    TakePoints(m, path, status, table, problem);
}

void DrawingEditor::TakePoints(int m, const std::string& path, ReadStatus status, const PointTable& table,
                               const FileResult& problem) {
    if (status == ReadStatus::Read) {
        PointTables_[m] = table;
        PointsLoaded_[m] = 1;
        unreadablePointFiles_.erase(path);
    } else {
        PointTables_[m].Clear();
        PointsLoaded_[m] = 0;
        if (!problem) {
            unreadablePointFiles_.insert(path);
            dialogs_.Warn(this, Utf8(FailureText(problem)));
        }
    }
}

void DrawingEditor::forgetDrawing(int m) {
    if (!IsMachineSlot(m)) return;
    PointsLoaded_[m] = 0;
    PointTables_[m].Clear();
    if (m < kMachineCount) drawings_[m] = QImage();
}

// ---- layout -----------------------------------------------------------------

int DrawingEditor::ViewsHeight() const { return EditorLayoutFor({width(), height()}).ViewsHeight; }

void DrawingEditor::PlaceBottomRow() {
    const EditorLayout layout = EditorLayoutFor({width(), height()});
    QWidget* const controls[kEditorControls] = {instrumentCaption, instrumentLabel, zoomButton,   designateButton,
                                                instrumentList,    resetButton,     cancelButton, okButton};
    for (int c = 0; c < kEditorControls; ++c) {
        const ScreenRect& r = layout.Controls[c];
        controls[c]->setGeometry(r.X, r.Y, r.Width, r.Height);
    }
}

void DrawingEditor::PlaceDetail(bool withViewSize) {
    int viewHeight = ViewsHeight();
    if (IsZoomed()) {
        detail->setGeometry(0, 0, width(), viewHeight);
        detail->raise();
    } else {
        int left = overview->width();
        detail->setGeometry(left, 0, std::max(0, width() - left), viewHeight);
    }
    if (withViewSize) {
        ViewWidth = detail->width() * kTwipsPerPixel;
        ViewHeight = detail->height() * kTwipsPerPixel;
    }
}

void DrawingEditor::SetOverviewBoxForNoDrawing() {
    overview->SetScale(1);
    overview->setGeometry(0, 0, std::clamp(width() - kDetailMinimumWidth, 0, kOverviewBoxWidth), ViewsHeight());
}

void DrawingEditor::DetailRefresh() {
    int m = Machine();
    if (PointsLoaded(m)) {
        int r = CurrentPoint();
        const PointTable& t = PointTables_[m];
        CenterDetail(r ? t.PosX[r] : 0.0, r ? t.PosY[r] : 0.0);
    } else {
        ViewX = ViewY = 0;
        DrawDetail();
    }
}

void DrawingEditor::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOutViews();
}

void DrawingEditor::layOutViews() {
    if (!mode_.loaded || isMinimized()) return;
    if (width() < kEditorMinimum.Width || height() < kEditorMinimum.Height)
        resize(std::max(width(), kEditorMinimum.Width), std::max(height(), kEditorMinimum.Height));
    PlaceBottomRow();
    if (MachineHasDrawing()) {
        SizeOverview();
        PlaceDetail(true);
        DetailRefresh();
    } else {
        SetOverviewBoxForNoDrawing();
        PlaceDetail(false);
    }
}

// ---- the measurement window's calls -----------------------------------------

void DrawingEditor::currentPointChanged() {
    // Leaving designation mode shows whatever point is current by then.
    if (InDesignMode()) return;
    int m = Machine();
    if (MachineHasDrawing()) {
        designateButton->setEnabled(!IsZoomed());
        zoomButton->setEnabled(true);
        DrawOverview();
        PlaceDetail(true);
        if (PointsLoaded(m)) {
            int r = CurrentPoint();
            instrumentLabel->setText(r ? instrumentList->itemText(PointTables_[m].InstrumentIndex[r]) : QString());
            const PointTable& t = PointTables_[m];
            CenterDetail(r ? t.PosX[r] : 0.0, r ? t.PosY[r] : 0.0);
        } else {
            ViewX = ViewY = 0;
            DrawDetail();
            instrumentLabel->clear();
        }
        return;
    }
    designateButton->setEnabled(false);
    zoomButton->setEnabled(false);
    overview->Clear();
    detail->Clear();
    SetOverviewBoxForNoDrawing();
    PlaceDetail(false);
    instrumentLabel->clear();
}

void DrawingEditor::toggleZoom() {
    if (!MachineHasDrawing() || InDesignMode()) return;
    if (IsZoomed()) {
        mode_.view = EditorView::Beside;
        PlaceDetail(true);
        DetailRefresh();
        zoomButton->setText(QStringLiteral("拡大"));
        designateButton->setEnabled(true);
    } else {
        mode_.view = EditorView::Zoomed;
        PlaceDetail(true);
        DetailRefresh();
        zoomButton->setText(QStringLiteral("縮小"));
        designateButton->setEnabled(false);
    }
    host_->FocusGrid();
}

bool DrawingEditor::IsZoomButtonEnabled() const { return zoomButton->isEnabled(); }

WindowPlacement DrawingEditor::TakePlacementForShutdown() { return TakePlacement(this); }

// ---- the two views ----------------------------------------------------------

void DrawingEditor::DrawOverview() {
    if (!MachineHasDrawing()) return;
    DrawingSize d = CurrentDrawingSize();
    SizeOverview();
    OverviewMarkRadius_ = OverviewMarkRadius(d);
    overview->ClearCircles();
    overview->ShowDrawing(Drawing(Machine()));
    if (CurrentPointShown()) {
        int r = CurrentPoint();
        const PointTable& t = PointTables_[Machine()];
        AddOverviewCircle(t.PosX[r], t.PosY[r], kRed);
    }
}

// The designed overview, drawn smaller where the window leaves it less room;
// what it shows and its circles keep their designed twips.
void DrawingEditor::SizeOverview() {
    OverviewSize ov = OverviewSizeFor(CurrentDrawingSize());
    double scale = OverviewScale(ov, std::max(0, width() - kDetailMinimumWidth), ViewsHeight());
    overview->SetScale(scale);
    overview->resize(std::max(1, static_cast<int>(std::lround(PixelsFromTwips(ov.Width) * scale))),
                     std::max(1, static_cast<int>(std::lround(PixelsFromTwips(ov.Height) * scale))));
}

void DrawingEditor::AddOverviewCircle(double x, double y, const QColor& colour) {
    overview->AddCircle({QPointF(x, y), static_cast<double>(OverviewMarkRadius_), colour});
}

void DrawingEditor::CenterDetail(double x, double y) {
    DrawingSize d = CurrentDrawingSize();
    ViewOrigin origin = ziv::CenterDetail(d, OverviewSizeFor(d), {ViewWidth, ViewHeight}, x, y);
    ViewX = origin.ViewX;
    ViewY = origin.ViewY;
    DrawDetail();
}

void DrawingEditor::DrawDetail() {
    if (!MachineHasDrawing()) {
        detail->Clear();
        return;
    }
    std::vector<DetailDisc> discs;
    int r = CurrentPoint();
    if (CurrentPointShown()) {
        DrawingSize d = CurrentDrawingSize();
        const PointTable& t = PointTables_[Machine()];
        TwipPoint at = DrawingTwipsFor(d, OverviewSizeFor(d), t.PosX[r], t.PosY[r]);
        discs.push_back({QPointF(at.X - ViewX, at.Y - ViewY), r, kRed});
    }
    if (InDesignMode()) {
        QPointF middle(TwipsFromPixels(detail->width()) / 2, TwipsFromPixels(detail->height()) / 2);
        discs.push_back({middle, r, kMagenta});
    }
    detail->Show(Drawing(Machine()), ViewX, ViewY, std::move(discs));
}

// ---- overview mouse ---------------------------------------------------------

void DrawingEditor::OverviewPointer(double x, double y) {
    if (InDesignMode()) {
        setWindowTitle(QStringLiteral("ZIV  X=") + CaptionNumber(x) + QStringLiteral(" : Y=") + CaptionNumber(y));
        PendingX = WholeTwips(x);
        PendingY = WholeTwips(y);
    }
    CenterDetail(x, y);
    DrawOverview();
    AddOverviewCircle(x, y, InDesignMode() ? kMagenta : kBlue);
}

void DrawingEditor::overviewMouseDown(int, int, double x, double y) {
    if (!MachineHasDrawing()) return;
    mode_.hold = MouseHold::OverviewMark;
    OverviewPointer(x, y);
}

void DrawingEditor::overviewMouseMove(int, int, double x, double y) {
    if (!MachineHasDrawing() || mode_.hold != MouseHold::OverviewMark || !moveThrottle_.Take()) return;
    OverviewPointer(x, y);
}

void DrawingEditor::overviewMouseUp(int, int, double x, double y) {
    if (!MachineHasDrawing()) return;
    OverviewPointer(x, y);
    if (mode_.hold == MouseHold::OverviewMark) mode_.hold = MouseHold::Nothing;
    if (!InDesignMode()) host_->FocusGrid();
}

// ---- detail view mouse: panning ---------------------------------------------

void DrawingEditor::detailMouseDown(int, int, double x, double y) {
    if (!MachineHasDrawing() || InDesignMode()) return;
    mode_.hold = MouseHold::DetailPan;
    DragLastX = WholeTwips(x);
    DragLastY = WholeTwips(y);
    DrawOverview();
}

void DrawingEditor::detailMouseMove(int, int, double x, double y) {
    if (!MachineHasDrawing() || InDesignMode() || mode_.hold != MouseHold::DetailPan || !moveThrottle_.Take())
        return;
    PanState pan = PanDetail({{ViewX, ViewY}, DragLastX, DragLastY}, x, y, {ViewWidth, ViewHeight},
                             CurrentDrawingSize());
    ViewX = pan.Origin.ViewX;
    ViewY = pan.Origin.ViewY;
    DragLastX = pan.DragLastX;
    DragLastY = pan.DragLastY;
    DrawDetail();
}

void DrawingEditor::detailMouseUp(int, int, double, double) {
    if (!MachineHasDrawing() || InDesignMode()) return;
    if (mode_.hold == MouseHold::DetailPan) mode_.hold = MouseHold::Nothing;
    host_->FocusGrid();
}

// ---- designation of a point -------------------------------------------------

void DrawingEditor::startDesignation() {
    int r = CurrentPoint();
    if (!MachineHasDrawing() || mode_.view != EditorView::Beside || r == 0) return;
    host_->SetMeasurementWindowEnabled(false);
    const PointTable& t = PointTables_[Machine()];
    PendingX = WholeTwips(t.PosX[r]);
    PendingY = WholeTwips(t.PosY[r]);
    zoomButton->setEnabled(false);
    designateButton->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(okButton), static_cast<QWidget*>(cancelButton),
                       static_cast<QWidget*>(resetButton), static_cast<QWidget*>(instrumentList)})
        w->setVisible(true);
    detail->setEnabled(false);
    designatedPoint_ = r;
    mode_.view = EditorView::Designating;
    DrawOverview();
}

void DrawingEditor::resetDesignation() {
    if (!InDesignMode()) return;
    overviewMouseDown(0, 0, 0, 0);
    overviewMouseUp(0, 0, 0, 0);
    instrumentList->setCurrentIndex(0);
}

void DrawingEditor::confirmDesignation() {
    int m = Machine();
    int r = CurrentPoint();
    if (!InDesignMode() || !IsMachineSlot(m) || r == 0) return;
    PointTable& t = PointTables_[m];
    t.PosX[r] = static_cast<float>(PendingX);
    t.PosY[r] = static_cast<float>(PendingY);
    t.InstrumentIndex[r] = static_cast<std::int16_t>(std::max(0, instrumentList->currentIndex()));
    PointsLoaded_[m] = 1;
    LeaveDesignMode();
    // Told last, once the window is back in its normal state: the designation
    // stays in memory and the next "OK" tries again.
    SaveDesignatedTable(r);
}

void DrawingEditor::SaveDesignatedTable(int point) {
    std::string folder = host_->ShownProductFolder();
    std::string path = PointTableFilePath(folder);
    if (folder.empty()) {
        dialogs_.Warn(this, QStringLiteral("測定指定箇所データを保存できませんでした。\n") + Utf8(path) + "\n" +
                                QStringLiteral("製品フォルダが指定されていません。"));
        return;
    }
    int m = Machine();
    QString why;
    if (unreadablePointFiles_.count(path)) {
        why = QStringLiteral("このファイルは読み込めなかったため、書き換えません。ファイルを確認して製品を登録し直して下さい。");
    } else {
        EditorHost::DesignationKept kept = host_->KeepDesignation(path, point, PointOf(PointTables_[m], point));
        // Taken by the station's writer: the window counts it until it is written.
        if (kept.kept && !kept.written) return;
        if (kept.written && *kept.written) {
            // Points another station designated meanwhile came with the save: shown at once.
            TakeWrittenPoints(m, kept.file);
            return;
        }
        if (kept.written) {
            why = Utf8(FailureText(*kept.written));
            if (kept.written->failure == Failure::Busy)
                why += QStringLiteral("指定はこのステーションに残り、次の「OK」で保存されます。");
        }
        // Kept by the station, it is written as soon as the file can be: also
        // after the program was closed meanwhile.
        if (kept.kept) why += QStringLiteral("指定はこのステーションに控えてあり、書き込めるようになると自動で書き込まれます。");
    }
    dialogs_.Warn(this, QStringLiteral("測定指定箇所データを保存できませんでした。\n") + Utf8(path) + "\n" + why);
}

void DrawingEditor::TakeWrittenPoints(int machine, const PointTable& table) {
    if (!IsMachineSlot(machine) || PointTables_[machine] == table) return;
    PointTables_[machine] = table;
    PointsLoaded_[machine] = 1;
    if (machine == Machine()) currentPointChanged();
}

void DrawingEditor::cancelDesignation() {
    if (!InDesignMode()) return;
    LeaveDesignMode();
}

void DrawingEditor::LeaveDesignMode() {
    zoomButton->setEnabled(true);
    designateButton->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(okButton), static_cast<QWidget*>(cancelButton),
                       static_cast<QWidget*>(resetButton), static_cast<QWidget*>(instrumentList)})
        w->setVisible(false);
    detail->setEnabled(true);
    // Out of designation mode before the repaint, so no pending disc is left.
    mode_.view = EditorView::Beside;
    if (mode_.hold == MouseHold::OverviewMark) mode_.hold = MouseHold::Nothing;
    currentPointChanged();
    setWindowTitle(QStringLiteral("ZIV"));
    host_->SetMeasurementWindowEnabled(true);
    host_->FocusGrid();
}

// ---- export and the display of all points -----------------------------------

void DrawingEditor::MarkAllPlacedPoints() {
    const PointTable& t = PointTables_[Machine()];
    for (int n : PlacedPoints(t)) AddOverviewCircle(t.PosX[n], t.PosY[n], kBlue);
}

// Both the export and the display of all points need the drawing and its
// point table; the operator is told which one is missing.
bool DrawingEditor::CanMarkPoints() {
    const char* missing = !MachineHasDrawing()        ? "画像が保存読み込まれていません。"
                          : !PointsLoaded(Machine()) ? "測定指定箇所データが作成されていません。"
                                                     : nullptr;
    if (!missing) return true;
    dialogs_.Warn(this, QString::fromUtf8(missing));
    host_->FocusGrid();
    return false;
}

void DrawingEditor::ExportInspectionDrawing() {
    if (InDesignMode()) return;
    if (!CanMarkPoints()) return;
    QImage canvas = RenderInspectionDrawing(Drawing(Machine()), PointTables_[Machine()]);
    MarkAllPlacedPoints();
    std::string file = host_->ExportFile();
    // An existing Data.jpg is replaced whole by the atomic write; it is not
    // deleted first, so a failed write leaves the previous export in place.
    bool saved = !file.empty() && SavePictureJpeg(canvas, file, 100, files_.disk);
    if (saved)
        dialogs_.Inform(this, QStringLiteral("検査成績表用図面を保存しました。"));
    else
        dialogs_.Warn(this, QStringLiteral("検査成績表用図面を保存できませんでした。\n") +
                              Utf8(file.empty() ? std::string("Data.jpg") : file));
    DrawOverview();
    host_->FocusGrid();
}

void DrawingEditor::ShowAllPoints() {
    if (InDesignMode()) return;
    if (!CanMarkPoints()) return;
    MarkAllPlacedPoints();
    dialogs_.Inform(this, QStringLiteral("全測定指定箇所を表示しました。"));
    host_->FocusGrid();
    DrawOverview();
}

// ---- keys and closing -------------------------------------------------------

void DrawingEditor::keyReleased(int key) {
    switch (key) {
        case Qt::Key_Space: ExportInspectionDrawing(); break;
        case Qt::Key_Shift: ShowAllPoints(); break;
        case Qt::Key_Control: toggleZoom(); break;
        default: break;
    }
}

bool DrawingEditor::HandlePreviewKey(QEvent* event) {
    bool zoom = zoomKey_.Tapped(event);
    if (event->type() != QEvent::KeyRelease) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    int code = key->key();
    if (code != Qt::Key_Space && code != Qt::Key_Shift && code != Qt::Key_Control) return false;
    if (code == Qt::Key_Control) {
        if (zoom) toggleZoom();
    } else if (!key->isAutoRepeat()) {
        keyReleased(code);
    }
    return true;
}

bool DrawingEditor::eventFilter(QObject* watched, QEvent* event) {
    if (HandlePreviewKey(event)) return true;
    return QWidget::eventFilter(watched, event);
}

// Presses to the window itself, when none of its controls has the keyboard.
void DrawingEditor::keyPressEvent(QKeyEvent* event) {
    zoomKey_.Tapped(event);
    QWidget::keyPressEvent(event);
}

void DrawingEditor::keyReleaseEvent(QKeyEvent* event) {
    if (!HandlePreviewKey(event)) QWidget::keyReleaseEvent(event);
}

void DrawingEditor::closeEvent(QCloseEvent* event) {
    if (host_->RunEnded())
        event->accept();
    else
        event->ignore();
}

}  // namespace ziv
