#include "drawing/form4_ui.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "common/numbers.h"
#include "drawing/drawing_export_qt.h"
#include "drawing/drawing_views_qt.h"
#include "drawing/window_placement_qt.h"
#include "links/instrument_link.h"
#include "platform/message_box_qt.h"
#include "platform/paths.h"

namespace ziv {

namespace {

// Designed client area 15000 x 9600 twips; the bottom row of controls sits
// 480 twips above the bottom, the views end 600 twips above it.
constexpr int kClientWidth = 1000;
constexpr int kClientHeight = 640;
constexpr int kBottomRowOffset = 32;
constexpr int kViewsBottomOffset = 40;
constexpr int kButtonHeight = 25;
constexpr int kListHeight = 20;
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

Form4::Form4(EditorHost* host, const std::string& savePath, QWidget* parent)
    : QWidget(parent),
      Picture1(new OverviewBox(this)),
      Picture3(new DetailBox(this)),
      Label1(new QLabel(this)),
      Label2(new QLabel(QStringLiteral("指定測定器名："), this)),
      Command1(Button("測定箇所指定", this)),
      Command2(Button("OK", this)),
      Command3(Button("Cancel", this)),
      Command4(Button("拡大", this)),
      Command5(Button("Reset", this)),
      Combo1(new QComboBox(this)),
      Timer1(new QTimer(this)),
      host_(host),
      savePath_(savePath) {
    BuildControls();
}

Form4::~Form4() = default;

void Form4::BuildControls() {
    setWindowTitle(QStringLiteral("ZIV"));
    QFont uiFont = font();
    uiFont.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")});
    uiFont.setPointSize(9);
    setFont(uiFont);
    QFont bold = uiFont;
    bold.setBold(true);
    Label1->setFont(bold);

    Picture1->setObjectName("Picture1");
    Picture3->setObjectName("Picture3");
    Label1->setObjectName("Label1");
    Label2->setObjectName("Label2");
    Command1->setObjectName("Command1");
    Command2->setObjectName("Command2");
    Command3->setObjectName("Command3");
    Command4->setObjectName("Command4");
    Command5->setObjectName("Command5");
    Combo1->setObjectName("Combo1");
    Picture1->setAccessibleName(QStringLiteral("図面全体"));
    Picture3->setAccessibleName(QStringLiteral("図面拡大"));

    Picture1->setGeometry(0, 0, kOverviewBoxWidth, kClientHeight - kViewsBottomOffset);
    Picture3->setGeometry(kOverviewBoxWidth, 0, kClientWidth - kOverviewBoxWidth, kClientHeight - kViewsBottomOffset);
    Label2->setGeometry(8, 0, 161, kButtonHeight);
    Label1->setGeometry(176, 0, 249, kButtonHeight);
    Command4->setGeometry(432, 0, 89, kButtonHeight);
    Command1->setGeometry(528, 0, 89, kButtonHeight);
    Combo1->setGeometry(624, 0, 129, kListHeight);
    Command5->setGeometry(760, 0, 73, kButtonHeight);
    Command3->setGeometry(840, 0, 73, kButtonHeight);
    Command2->setGeometry(920, 0, 73, kButtonHeight);
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
    PlaceBottomRow();

    // Nothing to designate or zoom until a drawing is shown.
    Command1->setEnabled(false);
    Command4->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(Command2), static_cast<QWidget*>(Command3),
                       static_cast<QWidget*>(Command5), static_cast<QWidget*>(Combo1)})
        w->setVisible(false);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(Picture1, &PictureBox::MouseDown, this, &Form4::Picture1_MouseDown);
    connect(Picture1, &PictureBox::MouseMove, this, &Form4::Picture1_MouseMove);
    connect(Picture1, &PictureBox::MouseUp, this, &Form4::Picture1_MouseUp);
    connect(Picture3, &PictureBox::MouseDown, this, &Form4::Picture3_MouseDown);
    connect(Picture3, &PictureBox::MouseMove, this, &Form4::Picture3_MouseMove);
    connect(Picture3, &PictureBox::MouseUp, this, &Form4::Picture3_MouseUp);

    // Key releases are seen by the window before any of its controls.
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

bool Form4::Load() {
    if (LoadDone) return true;
    std::string linksPath = LinksFilePath(savePath_);
    if (!IsFile(linksPath)) {
        ShowWarning(this, QStringLiteral("通信設定が行われていません。"));
        return false;
    }
    instrumentTexts_ = InstrumentListTexts(LoadInstrumentLinks(linksPath));
    Combo1->clear();
    for (const std::string& text : instrumentTexts_) Combo1->addItem(Utf8(text));
    Combo1->setCurrentIndex(0);
    if (auto placement = LoadWindowPlacement(EditorPlacementPath(savePath_))) ApplyPlacement(this, *placement);
    Timer1->setInterval(60);
    Timer1->start();
    ViewWidth = 200;
    ViewHeight = 600;
    Zoomed = 0;
    LoadDone = 1;
    return true;
}

// ---- machine slots and their contents --------------------------------------

int Form4::Machine() const { return host_->MachineNumber(); }

int Form4::CurrentPoint() const {
    // A reading that ends during designation moves the grid on; the point
    // being designated stays the one "OK" stores.
    if (DesignMode) return designatedPoint_;
    int m = Machine();
    if (!IsMachineSlot(m)) return 0;
    int row = host_->CurrentRow(m);
    return IsPointNumber(row) ? row : 0;
}

bool Form4::HasDrawing(int machine) const {
    return machine >= 0 && machine < kDrawingSlots && !Picture2[machine].isNull();
}

bool Form4::MachineHasDrawing() const { return HasDrawing(Machine()); }

const QImage& Form4::Drawing(int machine) const {
    static const QImage kNone;
    return HasDrawing(machine) ? Picture2[machine] : kNone;
}

const PointTable& Form4::Table(int machine) const {
    static const PointTable kEmpty;
    return IsMachineSlot(machine) ? PointTables_[machine] : kEmpty;
}

bool Form4::PointsLoaded(int machine) const { return IsMachineSlot(machine) && PointsLoaded_[machine] == 1; }

// The current point is marked when the slot has a table and the point is placed.
bool Form4::CurrentPointShown() const {
    int r = CurrentPoint();
    return r != 0 && PointsLoaded(Machine()) && PointTables_[Machine()].IsPlaced(r);
}

DrawingSize Form4::CurrentDrawingSize() const {
    const QImage& image = Drawing(Machine());
    return {image.width() * 15.0, image.height() * 15.0};
}

bool Form4::LoadDrawing(int machine, const std::string& imagePath) {
    if (machine < 0 || machine >= kDrawingSlots) return false;
    // Drawings scanned at A1/A0 size exceed Qt's default 128 MB decoding limit.
    constexpr int kDrawingAllocationLimitMb = 2048;
    if (QImageReader::allocationLimit() < kDrawingAllocationLimitMb)
        QImageReader::setAllocationLimit(kDrawingAllocationLimitMb);
    QImageReader reader(Utf8(imagePath));
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        Picture2[machine] = QImage();
        return false;
    }
    Picture2[machine] = image.convertToFormat(QImage::Format_RGB32);
    return true;
}

// A product without Data.dat starts from an empty table, never from the
// points of the product that the slot showed before.
void Form4::LoadPosDat(const std::string& path) {
    int m = Machine();
    if (!IsMachineSlot(m)) return;
    std::string error;
    if (ReadPointTableFile(path, PointTables_[m], &error) == ReadStatus::Read) {
        PointsLoaded_[m] = 1;
        unreadablePointFiles_.erase(path);
    } else {
        PointTables_[m].Clear();
        PointsLoaded_[m] = 0;
        if (!error.empty()) {
            unreadablePointFiles_.insert(path);
            ShowWarning(this, Utf8(error));
        }
    }
}

void Form4::DelCur() {
    int m = Machine();
    if (!IsMachineSlot(m)) return;
    PointsLoaded_[m] = 0;
    PointTables_[m].Clear();
    if (m < kDrawingSlots) Picture2[m] = QImage();
}

// ---- layout -----------------------------------------------------------------

void Form4::PlaceBottomRow() {
    int top = height() - kBottomRowOffset;
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Combo1), static_cast<QWidget*>(Command1),
                       static_cast<QWidget*>(Command2), static_cast<QWidget*>(Command3),
                       static_cast<QWidget*>(Command4), static_cast<QWidget*>(Command5)})
        w->move(w->x(), top);
}

void Form4::PlaceDetail(bool withViewSize) {
    int viewHeight = std::max(0, height() - kViewsBottomOffset);
    if (Zoomed) {
        Picture3->setGeometry(0, 0, width(), viewHeight);
        Picture3->raise();
    } else {
        int left = Picture1->width();
        Picture3->setGeometry(left, 0, std::max(0, width() - left), viewHeight);
    }
    if (withViewSize) {
        ViewWidth = Picture3->width() * 15;
        ViewHeight = Picture3->height() * 15;
    }
}

void Form4::SetOverviewBoxForNoDrawing() {
    Picture1->setGeometry(0, 0, kOverviewBoxWidth, std::max(0, height() - kViewsBottomOffset));
}

void Form4::DetailRefresh() {
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

void Form4::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form4::Form_Resize() {
    if (!LoadDone || isMinimized()) return;
    if (width() < kClientWidth || height() < kClientHeight)
        resize(std::max(width(), kClientWidth), std::max(height(), kClientHeight));
    PlaceBottomRow();
    if (MachineHasDrawing()) {
        PlaceDetail(true);
        DetailRefresh();
    } else {
        SetOverviewBoxForNoDrawing();
        PlaceDetail(false);
    }
}

// ---- the measurement window's calls -----------------------------------------

void Form4::MNChanged() {
    // Leaving designation mode shows whatever point is current by then.
    if (DesignMode) return;
    int m = Machine();
    if (MachineHasDrawing()) {
        Command1->setEnabled(!Zoomed);
        Command4->setEnabled(true);
        DrawOverview();
        PlaceDetail(true);
        if (PointsLoaded(m)) {
            int r = CurrentPoint();
            Label1->setText(r ? Combo1->itemText(PointTables_[m].InstrumentIndex[r]) : QString());
            const PointTable& t = PointTables_[m];
            CenterDetail(r ? t.PosX[r] : 0.0, r ? t.PosY[r] : 0.0);
        } else {
            ViewX = ViewY = 0;
            DrawDetail();
            Label1->clear();
        }
        return;
    }
    Command1->setEnabled(false);
    Command4->setEnabled(false);
    Picture1->Clear();
    Picture3->Clear();
    SetOverviewBoxForNoDrawing();
    PlaceDetail(false);
    Label1->clear();
}

void Form4::Command4_Click() {
    if (!MachineHasDrawing() || DesignMode) return;
    if (Zoomed) {
        Zoomed = 0;
        PlaceDetail(true);
        DetailRefresh();
        Command4->setText(QStringLiteral("拡大"));
        Command1->setEnabled(true);
    } else {
        Zoomed = 1;
        PlaceDetail(true);
        DetailRefresh();
        Command4->setText(QStringLiteral("縮小"));
        Command1->setEnabled(false);
    }
    host_->FocusGrid();
}

bool Form4::IsZoomButtonEnabled() const { return Command4->isEnabled(); }

WindowPlacement Form4::TakePlacementForShutdown() { return TakePlacement(this); }

// ---- the two views ----------------------------------------------------------

void Form4::DrawOverview() {
    if (!MachineHasDrawing()) return;
    DrawingSize d = CurrentDrawingSize();
    OverviewSize ov = OverviewSizeFor(d);
    Picture1->resize(std::max(1, static_cast<int>(std::lround(ov.Width / 15))),
                     std::max(1, static_cast<int>(std::lround(ov.Height / 15))));
    OverviewMarkRadius_ = OverviewMarkRadius(d);
    Picture1->ClearCircles();
    Picture1->ShowDrawing(Drawing(Machine()));
    if (CurrentPointShown()) {
        int r = CurrentPoint();
        const PointTable& t = PointTables_[Machine()];
        AddOverviewCircle(t.PosX[r], t.PosY[r], kRed);
    }
}

void Form4::AddOverviewCircle(double x, double y, const QColor& colour) {
    Picture1->AddCircle({QPointF(x, y), static_cast<double>(OverviewMarkRadius_), colour});
}

void Form4::CenterDetail(double x, double y) {
    DrawingSize d = CurrentDrawingSize();
    ViewOrigin origin = ziv::CenterDetail(d, OverviewSizeFor(d), {ViewWidth, ViewHeight}, x, y);
    ViewX = origin.ViewX;
    ViewY = origin.ViewY;
    DrawDetail();
}

void Form4::DrawDetail() {
    if (!MachineHasDrawing()) {
        Picture3->Clear();
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
    if (DesignMode) discs.push_back({QPointF(Picture3->width() * 15 / 2.0, Picture3->height() * 15 / 2.0), r, kMagenta});
    Picture3->Show(Drawing(Machine()), ViewX, ViewY, std::move(discs));
}

// ---- overview mouse ---------------------------------------------------------

void Form4::OverviewPointer(double x, double y) {
    if (DesignMode) {
        setWindowTitle(QStringLiteral("ZIV  X=") + CaptionNumber(x) + QStringLiteral(" : Y=") + CaptionNumber(y));
        PendingX = WholeTwips(x);
        PendingY = WholeTwips(y);
    }
    CenterDetail(x, y);
    DrawOverview();
    AddOverviewCircle(x, y, DesignMode ? kMagenta : kBlue);
}

void Form4::Picture1_MouseDown(int, int, double x, double y) {
    if (!MachineHasDrawing()) return;
    OverviewHeld = 1;
    OverviewPointer(x, y);
}

void Form4::Picture1_MouseMove(int, int, double x, double y) {
    if (!MachineHasDrawing() || !OverviewHeld || !MoveTick) return;
    OverviewPointer(x, y);
    MoveTick = 0;
}

void Form4::Picture1_MouseUp(int, int, double x, double y) {
    if (!MachineHasDrawing()) return;
    OverviewPointer(x, y);
    OverviewHeld = 0;
    if (!DesignMode) host_->FocusGrid();
}

// ---- detail view mouse: panning ---------------------------------------------

void Form4::Picture3_MouseDown(int, int, double x, double y) {
    if (!MachineHasDrawing() || DesignMode) return;
    Dragging = 1;
    DragLastX = WholeTwips(x);
    DragLastY = WholeTwips(y);
    DrawOverview();
}

void Form4::Picture3_MouseMove(int, int, double x, double y) {
    if (!MachineHasDrawing() || DesignMode || !Dragging || !MoveTick) return;
    PanState pan = PanDetail({{ViewX, ViewY}, DragLastX, DragLastY}, x, y, {ViewWidth, ViewHeight},
                             CurrentDrawingSize());
    ViewX = pan.Origin.ViewX;
    ViewY = pan.Origin.ViewY;
    DragLastX = pan.DragLastX;
    DragLastY = pan.DragLastY;
    DrawDetail();
    MoveTick = 0;
}

void Form4::Picture3_MouseUp(int, int, double, double) {
    if (!MachineHasDrawing() || DesignMode) return;
    Dragging = 0;
    host_->FocusGrid();
}

void Form4::Timer1_Timer() { MoveTick = 1; }

// ---- designation of a point -------------------------------------------------

void Form4::Command1_Click() {
    int r = CurrentPoint();
    if (!MachineHasDrawing() || DesignMode || Zoomed || r == 0) return;
    host_->SetMeasurementWindowEnabled(false);
    const PointTable& t = PointTables_[Machine()];
    PendingX = WholeTwips(t.PosX[r]);
    PendingY = WholeTwips(t.PosY[r]);
    Command4->setEnabled(false);
    Command1->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(Command2), static_cast<QWidget*>(Command3),
                       static_cast<QWidget*>(Command5), static_cast<QWidget*>(Combo1)})
        w->setVisible(true);
    Picture3->setEnabled(false);
    designatedPoint_ = r;
    DesignMode = 1;
    DrawOverview();
}

void Form4::Command5_Click() {
    if (!DesignMode) return;
    Picture1_MouseDown(0, 0, 0, 0);
    Picture1_MouseUp(0, 0, 0, 0);
    Combo1->setCurrentIndex(0);
}

void Form4::Command2_Click() {
    int m = Machine();
    int r = CurrentPoint();
    if (!DesignMode || !IsMachineSlot(m) || r == 0) return;
    PointTable& t = PointTables_[m];
    t.PosX[r] = static_cast<float>(PendingX);
    t.PosY[r] = static_cast<float>(PendingY);
    t.InstrumentIndex[r] = static_cast<std::int16_t>(std::max(0, Combo1->currentIndex()));
    PointsLoaded_[m] = 1;
    LeaveDesignMode();
    // Told last, once the window is back in its normal state: the designation
    // stays in memory and the next "OK" tries again.
    SaveDesignatedTable();
}

void Form4::SaveDesignatedTable() {
    std::string folder = host_->EPath();
    std::string path = PointTableFilePath(folder);
    WriteResult result;
    if (folder.empty())
        result = {false, "製品フォルダが指定されていません。"};
    else if (unreadablePointFiles_.count(path))
        result = {false, "このファイルは読み込めなかったため、書き換えません。ファイルを確認して製品を登録し直して下さい。"};
    else
        result = SavePointTable(path, PointTables_[Machine()]);
    if (!result)
        ShowWarning(this, QStringLiteral("測定指定箇所データを保存できませんでした。\n") + Utf8(path) +
                              QStringLiteral("\n") + Utf8(result.error));
}

void Form4::Command3_Click() {
    if (!DesignMode) return;
    LeaveDesignMode();
}

void Form4::LeaveDesignMode() {
    Command4->setEnabled(true);
    Command1->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(Command2), static_cast<QWidget*>(Command3),
                       static_cast<QWidget*>(Command5), static_cast<QWidget*>(Combo1)})
        w->setVisible(false);
    Picture3->setEnabled(true);
    // Out of designation mode before the repaint, so no pending disc is left.
    DesignMode = 0;
    OverviewHeld = 0;
    MNChanged();
    setWindowTitle(QStringLiteral("ZIV"));
    host_->SetMeasurementWindowEnabled(true);
    host_->FocusGrid();
}

// ---- export and the display of all points -----------------------------------

int Form4::SavePictureJpeg(const QImage& pict, const std::string& filename, int quality) {
    return ziv::SavePictureJpeg(pict, filename, quality);
}

void Form4::MarkAllPlacedPoints() {
    const PointTable& t = PointTables_[Machine()];
    for (int n : PlacedPoints(t)) AddOverviewCircle(t.PosX[n], t.PosY[n], kBlue);
}

// Both the export and the display of all points need the drawing and its
// point table; the operator is told which one is missing.
bool Form4::CanMarkPoints() {
    const char* missing = !MachineHasDrawing()        ? "画像が保存読み込まれていません。"
                          : !PointsLoaded(Machine()) ? "測定指定箇所データが作成されていません。"
                                                     : nullptr;
    if (!missing) return true;
    ShowWarning(this, QString::fromUtf8(missing));
    host_->FocusGrid();
    return false;
}

void Form4::ExportInspectionDrawing() {
    if (DesignMode) return;
    if (!CanMarkPoints()) return;
    QImage canvas = RenderInspectionDrawing(Drawing(Machine()), PointTables_[Machine()]);
    MarkAllPlacedPoints();
    DrawSavePath.clear();
    host_->ReturenName();
    // An existing Data.jpg is replaced whole by the atomic write; it is not
    // deleted first, so a failed write leaves the previous export in place.
    int status = DrawSavePath.empty() ? kJpegWriteFailed : SavePictureJpeg(canvas, DrawSavePath, 100);
    if (status == kJpegWritten)
        ShowInformation(this, QStringLiteral("検査成績表用図面を保存しました。"));
    else
        ShowWarning(this, QStringLiteral("検査成績表用図面を保存できませんでした。\n") +
                              Utf8(DrawSavePath.empty() ? std::string("Data.jpg") : DrawSavePath));
    DrawOverview();
    host_->FocusGrid();
}

void Form4::ShowAllPoints() {
    if (DesignMode) return;
    if (!CanMarkPoints()) return;
    MarkAllPlacedPoints();
    ShowInformation(this, QStringLiteral("全測定指定箇所を表示しました。"));
    host_->FocusGrid();
    DrawOverview();
}

// ---- keys and closing -------------------------------------------------------

void Form4::Form_KeyUp(int key) {
    switch (key) {
        case Qt::Key_Space: ExportInspectionDrawing(); break;
        case Qt::Key_Shift: ShowAllPoints(); break;
        case Qt::Key_Control: Command4_Click(); break;
        default: break;
    }
}

bool Form4::HandlePreviewKey(QEvent* event) {
    if (event->type() != QEvent::KeyRelease) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    int code = key->key();
    if (code != Qt::Key_Space && code != Qt::Key_Shift && code != Qt::Key_Control) return false;
    if (!key->isAutoRepeat()) Form_KeyUp(code);
    return true;
}

bool Form4::eventFilter(QObject* watched, QEvent* event) {
    if (HandlePreviewKey(event)) return true;
    return QWidget::eventFilter(watched, event);
}

void Form4::keyReleaseEvent(QKeyEvent* event) {
    if (!HandlePreviewKey(event)) QWidget::keyReleaseEvent(event);
}

void Form4::closeEvent(QCloseEvent* event) {
    if (host_->AppEnd())
        event->accept();
    else
        event->ignore();
}

}  // namespace ziv
