#include "station/form1_ui.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QValidator>
#include <QVBoxLayout>

#include "common/numbers.h"
#include "drawing/form4_ui.h"
#include "drawing/window_placement_qt.h"
#include "platform/flex_grid_qt.h"
#include "platform/folder_list_qt.h"
#include "platform/message_box_qt.h"
#include "platform/paths.h"
#include "platform/serial_port_qt.h"
#include "platform/ui_font_qt.h"
#include "station/operator_record.h"

namespace ziv {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

const int kWidths[8] = {1000, 1900, 1000, 1900, 1900, 1900, 1900, 1900};

QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(U(caption), parent);
    b->setObjectName(name);
    return b;
}

QLineEdit* Box(const char* name, QWidget* parent, bool readOnly) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    return e;
}

QCheckBox* Tick(const char* caption, const char* name, QWidget* parent) {
    auto* c = new QCheckBox(U(caption), parent);
    c->setObjectName(name);
    c->setChecked(true);
    return c;
}

// Lays the frame's controls side by side.
void InRow(QGroupBox* frame, std::initializer_list<QWidget*> controls) {
    auto* row = new QHBoxLayout(frame);
    for (QWidget* control : controls) row->addWidget(control);
}

QGroupBox* Frame(const char* caption, const char* name, QWidget* parent) {
    auto* f = new QGroupBox(U(caption), parent);
    f->setObjectName(name);
    return f;
}

// Only digits and "." ever stand in the number box (values are magnitudes),
// however the text arrives: typed, committed by the input method, pasted or
// dropped. A change bringing anything else is refused whole, so no part of a
// foreign text ("1.5e3", "-2") becomes a different number. The input method's
// full-width digits and point mean the same and stand as "0"-"9" and ".".
class MagnitudeValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar& c : input) {
            if (c >= QChar(0xFF10) && c <= QChar(0xFF19)) c = QChar(c.unicode() - 0xFF10 + '0');
            else if (c == QChar(0xFF0E)) c = '.';
            else if (!((c >= '0' && c <= '9') || c == '.')) return Invalid;
        }
        return Acceptable;
    }
};

}  // namespace

Form1::Form1(const SignedInOperator& op, QWidget* parent) : QWidget(parent), op_(op) {
    setObjectName("Form1");
    setWindowTitle("ZIV");
    setFont(UiFont());
    BuildControls();
    port_ = new SerialPort(this);
    connect(port_, &SerialPort::onComm, this, &Form1::MSComm1_OnComm);
    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    connect(timer1_, &QTimer::timeout, this, &Form1::Timer1_Timer);
    qApp->installEventFilter(this);
}

Form1::~Form1() {
    qApp->removeEventFilter(this);
    if (editor_) AppEnd = 1;
    editor_.reset();
}

void Form1::BuildControls() {
    Frame1 = Frame("入力先番号", "Frame1", this);
    Text1 = Box("Text1", Frame1, false);
    Check1 = Tick("自動", "Check1", Frame1);
    Command5 = Button("検索", "Command5", Frame1);
    Command1 = Button("開始", "Command1", Frame1);
    InRow(Frame1, {Text1, Check1, Command5, Command1});

    Frame3 = Frame("測定器", "Frame3", this);
    Text2 = Box("Text2", Frame3, true);
    Text2->setText(U("マイクロ1"));
    InRow(Frame3, {Text2});

    Frame4 = Frame("機械番号", "Frame4", this);
    Text3 = Box("Text3", Frame4, true);
    Text3->setText(U("0号機"));
    InRow(Frame4, {Text3});

    Frame5 = Frame("製品名", "Frame5", this);
    Text5 = Box("Text5", Frame5, true);
    Command7 = Button("選択", "Command7", Frame5);
    InRow(Frame5, {Text5, Command7});

    Frame6 = Frame("手動数値入力", "Frame6", this);
    Text4 = Box("Text4", Frame6, false);
    Text4->setValidator(new MagnitudeValidator(Text4));
    Command3 = Button("入力", "Command3", Frame6);
    Check2 = Tick("削除", "Check2", Frame6);
    InRow(Frame6, {Text4, Command3, Check2});

    Frame7 = Frame("手動文字入力", "Frame7", this);
    Text6 = Box("Text6", Frame7, false);
    Command4 = Button("入力", "Command4", Frame7);
    Check3 = Tick("削除", "Check3", Frame7);
    InRow(Frame7, {Text6, Command4, Check3});

    Frame8 = Frame("日付", "Frame8", this);
    Text7 = Box("Text7", Frame8, true);
    Command6 = Button("選択", "Command6", Frame8);
    InRow(Frame8, {Text7, Command6});
    MonthView1 = new QCalendarWidget(this);
    MonthView1->setObjectName("MonthView1");
    MonthView1->hide();

    Frame9 = Frame("製品名選択", "Frame9", this);
    Dir1 = new FolderList(Frame9);
    Dir1->setObjectName("Dir1");
    Text8 = Box("Text8", Frame9, true);
    Command8 = Button("登録", "Command8", Frame9);
    Command2 = Button("登録解除", "Command2", Frame9);
    Command9 = Button("キャンセル", "Command9", Frame9);
    auto* l9 = new QVBoxLayout(Frame9);
    l9->addWidget(Dir1, 1);
    l9->addWidget(Text8);
    auto* l9b = new QHBoxLayout;
    l9b->addWidget(Command8);
    l9b->addWidget(Command2);
    l9b->addWidget(Command9);
    l9->addLayout(l9b);
    Frame9->hide();

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setMinimumWidth(120);

    auto* side = new QVBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame3), static_cast<QWidget*>(Frame4),
                       static_cast<QWidget*>(Frame5), static_cast<QWidget*>(Frame6), static_cast<QWidget*>(Frame7),
                       static_cast<QWidget*>(Frame8), static_cast<QWidget*>(Label1)})
        side->addWidget(w);
    side->addWidget(MonthView1);
    side->addWidget(Frame9, 1);
    side->addStretch();
    auto* main = new QHBoxLayout(this);
    main->addWidget(BuildGrids(), 1);
    main->addLayout(side);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &Form1::Command9_Click);
    connect(Check1, &QCheckBox::clicked, this, &Form1::Check1_Click);
    connect(Check2, &QCheckBox::clicked, this, &Form1::Check2_Click);
    connect(Check3, &QCheckBox::clicked, this, &Form1::Check3_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(MonthView1, &QCalendarWidget::clicked, this,
            [this](QDate d) { MonthView1_DateClick(d.year(), d.month(), d.day()); });
    connect(Dir1, &FolderList::pathChanged, this, &Form1::Dir1_Change);
}

QGroupBox* Form1::BuildGrids() {
    auto* holder = new QGroupBox(this);
    holder->setFlat(true);
    auto* stack = new QGridLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    for (int m = 0; m < kMachineCount; ++m) {
        frame2_[m] = new QGroupBox(U("測定値リスト"), holder);
        frame2_[m]->setObjectName(QString("Frame2_%1").arg(m));
        grids_[m] = new FlexGrid(frame2_[m]);
        grids_[m]->setObjectName(QString("MSFlexGrid1_%1").arg(m));
        (new QVBoxLayout(frame2_[m]))->addWidget(grids_[m]);
        stack->addWidget(frame2_[m], 0, 0);
        frame2_[m]->setVisible(m == 0);
        connect(grids_[m], &FlexGrid::RowColChange, this, [this, m] { MSFlexGrid1_RowColChange(m); });
    }
    // Narrow enough that the window fits beside the editor on a 1920 pixel
    // wide screen; the grid scrolls sideways.
    holder->setMinimumSize(480, 600);
    return holder;
}

void Form1::SetUpGrid(FlexGrid* grid) {
    grid->SetRows(GridMaxNumber + 1);
    grid->SetCols(8);
    for (int c = 0; c < 8; ++c) {
        grid->SetColWidth(c, kWidths[c]);
        grid->SetColAlignment(c, 4);
    }
}

bool Form1::Form_Load() {
    // 1-2: instrument links and the port prepared for F1.
    std::string linksPath = LinksFilePath(op_.SavePath);
    LinksRead linksRead = ReadInstrumentLinks(linksPath);
    if (linksRead.status == ReadStatus::Missing) {
        ShowWarning(this, U("通信設定が行われていません。"));
        return false;
    }
    if (linksRead.status == ReadStatus::Unreadable) {
        Warn(linksRead.error);
        return false;
    }
    links_ = linksRead.links;
    port_->setNullDiscard(true);
    SelectInstrument(1);
    readingPending_ = 0;
    // 4: product folder.
    std::string folderPath = ProductFolderFilePath(op_.SavePath);
    if (!IsFile(folderPath)) {
        ShowWarning(this, U("製品フォルダの設定が行われていません。"));
        return false;
    }
    productFolder_ = LoadProductFolder(folderPath);
    // 5-6: grids.
    for (auto* grid : grids_) SetUpGrid(grid);
    // 7: working date = today.
    QDate today = QDate::currentDate();
    workDate_ = {DecimalText(today.year()), DecimalText(today.month()), DecimalText(today.day())};
    Text7->setText(Q(workDate_.Year + "/" + workDate_.Month + "/" + workDate_.Day));
    // 9: the operator's products and the opening of the operator record.
    ReadOperatorProducts();
    // 11: every machine's day workbook and master.
    ReloadEveryMachine();
    // 12
    MachineNumber = 0;
    Text5->setText(Q(productNames_[0]));
    Text1->setText(QString::number(grids_[0]->Row()));
    // 13
    CreateLogFolders();
    // 14-16: the editor beside this window, with machine 0's drawing. A
    // window without a remembered place starts where both are seen whole.
    PlaceAtFirstStart(LoadWindowPlacement(MeasurementPlacementPath(op_.SavePath)) ? nullptr : this,
                      LoadWindowPlacement(EditorPlacementPath(op_.SavePath)) ? nullptr : Editor());
    Editor()->show();
    LoadDrawingFor(0);
    EPath = productPaths_[0];
    Editor()->MNChanged();
    // 17
    if (auto placement = LoadWindowPlacement(MeasurementPlacementPath(op_.SavePath)))
        ApplyPlacement(this, *placement);
    loaded_ = true;
    return true;
}

// Loads every machine's day workbook and master in turn and puts each grid
// on its first empty point; MachineNumber is left on the last machine.
void Form1::ReloadEveryMachine() {
    for (int m = 0; m <= MaxMachineNumber; ++m) {
        MachineNumber = m;
        LoadDayBook();
        grids_[m]->SetRow(1);
        grids_[m]->SetTopRow(1);
        AdvanceToEmptyPoint();
    }
}

void Form1::ReadOperatorProducts() {
    QTime now = QTime::currentTime();
    startHour_ = now.hour();
    startMinute_ = now.minute();
    std::string dirFile = DirectoryFilePath(op_.UserDIR);
    std::vector<ChargedMachine> charged;
    DirectoryRead directory = ReadDirectoryFile(dirFile);
    directoryUnreadable_ = directory.status == ReadStatus::Unreadable;
    if (directoryUnreadable_) {
        Warn(directory.error);
    } else if (directory.status == ReadStatus::Read) {
        for (int k = 0; k <= MaxMachineNumber; ++k) {
            productPaths_[k] = directory.paths[k];
            if (productPaths_[k].empty()) continue;
            productNames_[k] = GetProductName(productPaths_[k]);
            charged.push_back({k, productNames_[k]});
        }
    } else {
        SaveDirectory();
    }
    operatorLog_ = OperatorLogStart(Text7->text().toStdString(), startHour_, startMinute_, charged);
    chargeText_ = ChargeText(charged.size());
}

void Form1::SaveDirectory() {
    if (auto r = SaveDirectoryFile(DirectoryFilePath(op_.UserDIR), productPaths_); !r) Warn(r.error);
}

void Form1::CreateLogFolders() {
    std::string logs = JoinPath(productFolder_, "ＺＩＶログ");
    for (const std::string& folder : {logs, JoinPath(logs, "不合格記録"), JoinPath(logs, "測定者記録")}) {
        if (!MakeFolder(folder)) {
            Warn("ログフォルダ \"" + folder + "\" を作成できません。製品フォルダの設定を確認して下さい。");
            return;
        }
    }
}

void Form1::LoadDrawingFor(int m) {
    std::string drawing = ProductDrawingPath(productPaths_[m], productNames_[m]);
    if (productPaths_[m].empty() || !IsFile(drawing)) return;
    if (Editor()->LoadDrawing(m, drawing)) Editor()->LoadPosDat(PointTablePath(productPaths_[m]));
}

Form4* Form1::Editor() {
    if (!editor_) {
        editor_ = std::make_unique<Form4>(&editorLink_, op_.SavePath);
        editor_->Load();
    }
    return editor_.get();
}

void Form1::AdvanceToEmptyPoint() {
    if (!Check1->isChecked()) return;
    FlexGrid* grid = grids_[MachineNumber];
    for (int r = 1; r <= GridMaxNumber; ++r) {
        if (grid->TextMatrix(r, 1).isEmpty()) {
            grid->SetTopRow(grid->Row());
            grid->SetRow(r);
            Text1->setText(" " + QString::number(grid->Row()));
            return;
        }
    }
    grid->SetRow(1);
    grid->SetTopRow(grid->Row());
    Text1->setText(" " + QString::number(grid->Row()));
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload() {
    if (unloaded_ || !loaded_) return;
    unloaded_ = true;
    EndReading();
    // 1: the operator record, only when something was saved.
    if (savedCount_ != 0) {
        QDateTime now = QDateTime::currentDateTime();
        ClockTime end{now.date().year(), now.date().month(), now.date().day(), now.time().hour(), now.time().minute()};
        OperatorRecord record = FinishOperatorRecord(operatorLog_, chargeText_, savedCount_, loadedPointCount_,
                                                     startHour_, startMinute_, end);
        operatorLog_ = record.Content;
        if (auto r = WriteOperatorRecord(productFolder_, op_.UserName, record); !r) Warn(r.error);
    }
    // 2-3: window positions.
    if (editor_) {
        if (auto r = SaveWindowPlacement(EditorPlacementPath(op_.SavePath), editor_->TakePlacementForShutdown()); !r)
            Warn(r.error);
    }
    if (auto r = SaveWindowPlacement(MeasurementPlacementPath(op_.SavePath), TakePlacement(this)); !r) Warn(r.error);
    // 4: every workbook closed; each was saved whole when its last value came.
    for (auto& book : dayBooks_) book.reset();
    // 5
    AppEnd = 1;
    if (editor_) editor_->close();
    emit Ended();
}

int Form1::EditorLink::CurrentRow(int machine) const {
    if (machine < 0 || machine >= kMachineCount) return 1;
    return f.grids_[machine]->Row();
}

// A widget of an inactive window receives the keys only once its window is
// activated: after a click in the editor the keys would stay with the editor.
void Form1::FocusGrid() {
    if (isVisible() && !isActiveWindow()) activateWindow();
    grids_[MachineNumber]->setFocus();
}

void Form1::ReturenName() {
    if (editor_) editor_->DrawSavePath = JoinPath(productPaths_[MachineNumber], "Data.jpg");
}

QString Form1::Cell(int row, int col) const { return grids_[MachineNumber]->TextMatrix(row, col); }

void Form1::SetCell(int row, int col, const QString& text) { grids_[MachineNumber]->SetTextMatrix(row, col, text); }

int Form1::CurrentGridRow() const { return grids_[MachineNumber]->Row(); }

void Form1::Warn(const std::string& text) { ShowWarning(this, Q(text)); }

// The window sees every key before the control that has the focus.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this || !isEnabled()) return false;
    QWidget* focus = QApplication::focusWidget();
    if (focus ? widget != focus : widget != this) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyRelease && !key->isAutoRepeat()) Form_KeyUp(key->key());
    if (event->type() == QEvent::KeyPress && !key->text().isEmpty()) {
        Form_KeyPress(key->text());
    }
    return false;
}

}  // namespace ziv
