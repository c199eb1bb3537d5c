#include "station/measurement_window_ui.h"

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
#include <QVBoxLayout>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "drawing/drawing_editor_ui.h"
#include "drawing/window_placement_qt.h"
#include "platform/column_scroll_qt.h"
#include "platform/folder_list_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/paths.h"
#include "platform/serial_port_qt.h"
#include "platform/ui_font_qt.h"
#include "records/product_panel_ui.h"
#include "records/work_date_ui.h"
#include "station/control_chart_qt.h"
#include "station/operator_record.h"
#include "station/sheet_grid_qt.h"
#include "records/journal.h"
#include "platform/qt_text.h"

namespace ziv {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

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

}  // namespace

MeasurementWindow::MeasurementWindow(const SignedInOperator& op, Dialogs& dialogs, Files files, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), files_(files), op_(op) {
    setObjectName("MeasurementWindow");
    setWindowTitle("ZIV");
    setFont(UiFont());
    BuildControls();
    port_ = new SerialPort(this);
    connect(port_, &SerialPort::received, this, &MeasurementWindow::onPortData);
    readingTimer_ = new QTimer(this);
    readingTimer_->setObjectName("readingTimer");
    connect(readingTimer_, &QTimer::timeout, this, &MeasurementWindow::onReadingTimeout);
    retryTimer_ = new QTimer(this);
    retryTimer_->setObjectName("retryTimer");
    retryTimer_->setInterval(10000);
    connect(retryTimer_, &QTimer::timeout, this, &MeasurementWindow::retryWaiting);
    today_ = [] {
        QDate today = QDate::currentDate();
        return Date{today.year(), today.month(), today.day()};
    };
    // Past midnight the working date of yesterday turns amber without a touch.
    dayTimer_ = new QTimer(this);
    dayTimer_->setInterval(60000);
    connect(dayTimer_, &QTimer::timeout, this, &MeasurementWindow::ShowWorkDate);
    // Key preview: the window sees each key before whichever of its controls has the focus.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

MeasurementWindow::~MeasurementWindow() {
    if (editor_) ended_ = true;
    editor_.reset();
}

void MeasurementWindow::BuildControls() {
    inputPositionPanel = Frame("入力先番号", "inputPositionPanel", this);
    // Shows the input position only: the grid's row moves it, never typing.
    inputPositionBox = Box("inputPositionBox", inputPositionPanel, true);
    inputPositionBox->setFocusPolicy(Qt::NoFocus);
    autoAdvanceBox = Tick("自動", "autoAdvanceBox", inputPositionPanel);
    searchButton = Button("検索", "searchButton", inputPositionPanel);
    startButton = Button("開始", "startButton", inputPositionPanel);
    InRow(inputPositionPanel, {inputPositionBox, autoAdvanceBox, searchButton, startButton});

    instrumentPanel = Frame("測定器", "instrumentPanel", this);
    instrumentBox = Box("instrumentBox", instrumentPanel, true);
    instrumentBox->setText(U("マイクロ1"));
    InRow(instrumentPanel, {instrumentBox});

    machinePanel = Frame("機械番号", "machinePanel", this);
    machineBox = Box("machineBox", machinePanel, true);
    machineBox->setText(U("0号機"));
    InRow(machinePanel, {machineBox});

    productNamePanel = Frame("製品名", "productNamePanel", this);
    productNameBox = Box("productNameBox", productNamePanel, true);
    chooseProductButton = Button("選択", "chooseProductButton", productNamePanel);
    InRow(productNamePanel, {productNameBox, chooseProductButton});

    numberEntryPanel = Frame("手動数値入力", "numberEntryPanel", this);
    numberEntryBox = Box("numberEntryBox", numberEntryPanel, false);
    enterNumberButton = Button("入力", "enterNumberButton", numberEntryPanel);
    clearNumberBox = Tick("削除", "clearNumberBox", numberEntryPanel);
    InRow(numberEntryPanel, {numberEntryBox, enterNumberButton, clearNumberBox});

    textEntryPanel = Frame("手動文字入力", "textEntryPanel", this);
    textEntryBox = Box("textEntryBox", textEntryPanel, false);
    enterTextButton = Button("入力", "enterTextButton", textEntryPanel);
    clearTextBox = Tick("削除", "clearTextBox", textEntryPanel);
    InRow(textEntryPanel, {textEntryBox, enterTextButton, clearTextBox});

    datePanel = new WorkDatePanel(this, this);
    dateBox = datePanel->dateBox();
    chooseDateButton = datePanel->chooseButton();
    calendar = datePanel->calendar();

    productPanel = new ProductPanel(this);
    folderList = productPanel->folderList();
    productPathBox = productPanel->pathBox();
    registerButton = productPanel->registerButton();
    unregisterButton = productPanel->unregisterButton();
    closeProductPanelButton = productPanel->cancelButton();

    stateLabel = new QLabel(this);
    stateLabel->setObjectName("stateLabel");
    stateLabel->setMinimumWidth(120);
    stateLabel->setAlignment(Qt::AlignCenter);
    stateLabel->setWordWrap(true);
    QFont stateFont = stateLabel->font();
    stateFont.setPointSizeF(stateFont.pointSizeF() * 1.8);
    stateFont.setBold(true);
    stateLabel->setFont(stateFont);
    waitingLabel = new QLabel(this);
    waitingLabel->setObjectName("waitingLabel");
    waitingLabel->setAlignment(Qt::AlignCenter);
    waitingLabel->setStyleSheet("background-color: #FFB300; color: black; padding: 4px;");
    waitingLabel->hide();
    BuildControlWatch();

    auto* sideColumn = new QWidget(this);
    auto* side = new QVBoxLayout(sideColumn);
    side->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : {static_cast<QWidget*>(inputPositionPanel), static_cast<QWidget*>(instrumentPanel), static_cast<QWidget*>(machinePanel),
                       static_cast<QWidget*>(productNamePanel), static_cast<QWidget*>(numberEntryPanel), static_cast<QWidget*>(textEntryPanel),
                       static_cast<QWidget*>(datePanel), static_cast<QWidget*>(stateLabel), static_cast<QWidget*>(reactionButton),
                       static_cast<QWidget*>(waitingLabel)})
        side->addWidget(w);
    side->addWidget(controlChart, 1);
    side->addWidget(datePanel->calendarFrame());
    side->addWidget(productPanel, 1);
    side->addStretch();
    auto* main = new QHBoxLayout(this);
    main->addWidget(BuildGrids(), 1);
    sidePanel_ = new ColumnScroll(sideColumn, this);
    sidePanel_->setObjectName("sidePanel");
    main->addWidget(sidePanel_);

    connect(startButton, &QPushButton::clicked, this, &MeasurementWindow::startMeasuring);
    connect(unregisterButton, &QPushButton::clicked, this, &MeasurementWindow::unregisterProduct);
    connect(enterNumberButton, &QPushButton::clicked, this, &MeasurementWindow::enterNumber);
    connect(enterTextButton, &QPushButton::clicked, this, &MeasurementWindow::enterText);
    connect(searchButton, &QPushButton::clicked, this, &MeasurementWindow::searchEmptyPoint);
    connect(chooseDateButton, &QPushButton::clicked, this, &MeasurementWindow::openCalendar);
    connect(chooseProductButton, &QPushButton::clicked, this, &MeasurementWindow::openProductPanel);
    connect(registerButton, &QPushButton::clicked, this, &MeasurementWindow::registerProduct);
    connect(closeProductPanelButton, &QPushButton::clicked, this, &MeasurementWindow::closeProductPanel);
    connect(autoAdvanceBox, &QCheckBox::clicked, this, &MeasurementWindow::autoAdvanceClicked);
    connect(autoAdvanceBox, &QCheckBox::toggled, this, [this](bool on) { flow_.SetAutoAdvance(on); });
    connect(clearNumberBox, &QCheckBox::clicked, this, &MeasurementWindow::clearNumberClicked);
    connect(clearTextBox, &QCheckBox::clicked, this, &MeasurementWindow::clearTextClicked);
    connect(datePanel, &WorkDatePanel::dateChosen, this, &MeasurementWindow::dateClicked);
    connect(datePanel, &WorkDatePanel::cancelled, this, [this] {
        ApplyMode(WindowMode::Ready);
        FocusGrid();
    });
    // Enter in an entry box enters, as its 「入力」 does.
    connect(numberEntryBox, &QLineEdit::returnPressed, this, &MeasurementWindow::enterNumber);
    connect(textEntryBox, &QLineEdit::returnPressed, this, &MeasurementWindow::enterText);
}

QGroupBox* MeasurementWindow::BuildGrids() {
    auto* holder = new QGroupBox(this);
    holder->setFlat(true);
    auto* stack = new QGridLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    for (int m = 0; m < kMachineCount; ++m) {
        gridFrames_[m] = new QGroupBox(U("測定値リスト"), holder);
        gridFrames_[m]->setObjectName(QString("gridFrame_%1").arg(m));
        grids_[m] = new SheetGrid(flow_.Sheet(m), gridFrames_[m]);
        grids_[m]->setObjectName(QString("grid_%1").arg(m));
        (new QVBoxLayout(gridFrames_[m]))->addWidget(grids_[m]);
        stack->addWidget(gridFrames_[m], 0, 0);
        gridFrames_[m]->setVisible(m == 0);
        connect(grids_[m], &SheetGrid::CurrentChanged, this, [this, m] { gridRowChanged(m); });
        // Every column in sight, the tolerances included, however narrow the window.
        grids_[m]->setMinimumWidth(grids_[m]->FullWidth());
    }
    holder->setMinimumHeight(600);
    return holder;
}

// The state reads at a distance: large type, ready on green, waiting on
// amber, an overdue gauge on red.
void MeasurementWindow::ShowState(const QString& text) {
    stateLabel->setText(text);
    // A narrow column wraps a long warning; the whole text is at hand besides.
    stateLabel->setToolTip(text);
    QString background;
    if (text == U("測定可能")) background = "#2E7D32";
    else if (text == U("通信中")) background = "#FFB300";
    else if (text.startsWith(U("サーバー応答なし"))) background = "#FFB300";
    else if (text.startsWith(U("校正期限切れ"))) background = "#C62828";
    else if (text == U("全点測定済み")) background = "#1565C0";
    // A control signal is a warning, not a rejection: amber, as red stays for 不.
    else if (text.startsWith(U("管理外れ")) || text.startsWith(U("傾向"))) background = "#FFB300";
    stateLabel->setStyleSheet(background.isEmpty()
                                  ? QString()
                                  : QString("background-color: %1; color: %2; padding: 4px;")
                                        .arg(background, background == "#FFB300" ? "black" : "white"));
}

// Measuring mode on a machine without a product: Space reads nothing, so
// the window must not say it is ready. A control signal stands until a value
// in control or a reaction clears it, whatever else the label would say.
void MeasurementWindow::ShowMeasuringState() {
    if (auto told = ShownSubject().Signal) return ShowState(QString::fromStdString(told->Text()));
    if (!ProductRegistered()) return ShowState(U("製品未登録"));
    ShowState(flow_.Sheet(flow_.ShownMachine()).AllMeasured() ? U("全点測定済み") : U("測定可能"));
}

// What the label says when nothing else is to be told: the part measured
// stays in sight outside measuring mode too.
void MeasurementWindow::ShowRestingState() {
    if (mode_ == WindowMode::Measuring) return ShowMeasuringState();
    if (auto told = ShownSubject().Signal) return ShowState(QString::fromStdString(told->Text()));
    ShowState(flow_.Sheet(flow_.ShownMachine()).AllMeasured() ? U("全点測定済み") : QString());
}

// The label follows the part shown as values come and go, but never covers
// a reading under way, a control signal, an overdue gauge or a silent share.
void MeasurementWindow::ShowPartState(int m) {
    if (!loaded_ || m != flow_.ShownMachine() || session_.Active()) return;
    const QString shown = stateLabel->text();
    for (const char* resting : {"", "測定可能", "製品未登録", "全点測定済み"})
        if (shown == U(resting)) return ShowRestingState();
}

bool MeasurementWindow::startUp() {
    // Without the instruments' settings no gauge can be read: the run ends
    // here. F1's instrument is the one chosen at first.
    std::string linksPath = LinksFilePath(op_.SavePath);
    LinksRead linksRead = ReadInstrumentLinks(linksPath, files_.disk);
    if (linksRead.status == ReadStatus::Missing) {
        dialogs_.Warn(this, U("通信設定が行われていません。"));
        return false;
    }
    if (linksRead.status == ReadStatus::Unreadable) {
        Warn(FailureText(linksRead.problem));
        return false;
    }
    links_ = linksRead.links;
    port_->setNullDiscard(true);
    SelectInstrument(1);
    // Rejections and operator records go below the product folder setting:
    // without it the run ends here too.
    std::string folderPath = ProductFolderFilePath(op_.SavePath);
    if (!IsFile(folderPath)) {
        dialogs_.Warn(this, U("製品フォルダの設定が行われていません。"));
        return false;
    }
    flow_.SetProductFolder(LoadProductFolder(folderPath, files_.disk));
    StartJournal();
    // What the last run could not write goes first, so that what is read next shows it.
    LoadWaiting();
    // Values go into today's day workbooks until the operator picks another date.
    workDateSince_ = today_();
    static_cast<void>(flow_.SetWorkDate(WorkDateOf(workDateSince_)));
    ShowWorkDate();
    dayTimer_->start();
    // The operator's products, and the operator record, timed from now.
    ReadOperatorProducts();
    // Every machine's values and master, so that showing another machine is immediate.
    LoadMachines(EveryMachine(), true);
    RefreshControlData();
    // Machine 0 is shown first.
    productNameBox->setText(Q(flow_.ProductName(0)));
    inputPositionBox->setText(QString::number(flow_.Point(0)));
    // Made now, so that a product folder that cannot take the logs is told
    // at once rather than at the first rejection.
    CreateLogFolders();
    // The editor beside this window, with machine 0's drawing. A
    // window without a remembered place starts where both are seen whole.
    const auto placement = LoadWindowPlacement(MeasurementPlacementPath(op_.SavePath), files_.disk);
    PlaceAtFirstStart(placement ? nullptr : this,
                      LoadWindowPlacement(EditorPlacementPath(op_.SavePath), files_.disk) ? nullptr : Editor());
    // The remembered place once the window has its controls and size. Places
    // kept on another desktop, once brought onto this one, may overlap.
    const bool brought = placement && ApplyPlacement(this, *placement);
    if (brought || Editor()->PlaceBroughtBack()) KeepApart(this, Editor());
    Editor()->show();
    LoadDrawingFor(0);
    shownProductFolder_ = flow_.ProductPath(0);
    Editor()->currentPointChanged();
    // The keyboard starts on the grid, where Space and the arrows work.
    grids_[0]->setFocus();
    loaded_ = true;
    return true;
}

void MeasurementWindow::ReadOperatorProducts() {
    QTime now = QTime::currentTime();
    startHour_ = now.hour();
    startMinute_ = now.minute();
    Registrations::Started started = registrations_.ReadAtStart();
    if (started.timedOut) {
        Warn("\"" + registrations_.File() + "\" を読み込めません（ファイルサーバーが応答しません）。"
             "このステーションに控えてある登録で始めます。応答があれば自動で読み込みます。");
        ShowWaiting();  // the retry timer looks for the read's end
    } else if (started.status == ReadStatus::Unreadable)
        Warn(FailureText(started.problem));
    for (int k = 0; k <= kLastMachine; ++k) flow_.SetProduct(k, registrations_.Paths()[k]);
    recordDate_ = dateBox->text().toStdString();
    StartOperatorRecord();
}

// The machines in charge at sign-in; begun again when Directory.dat, read
// too late at start-up, comes in.
void MeasurementWindow::StartOperatorRecord() {
    std::vector<ChargedMachine> charged;
    for (int k = 0; k <= kLastMachine; ++k)
        if (flow_.Registered(k)) charged.push_back({k, flow_.ProductName(k)});
    operatorLog_ = OperatorLogStart(recordDate_, startHour_, startMinute_, charged);
    chargeText_ = ChargeText(charged.size());
}

void MeasurementWindow::KeepRegistration(int m) {
    FileResult kept = registrations_.Register(m, flow_.ProductPath(m), flow_.MeasuredNow());
    // A path the file cannot hold would fail the same way every time: told, not kept.
    if (kept.failure == Failure::NotShiftJis || kept.failure == Failure::ProductFolderLineBreak) {
        Warn(FailureText(kept));
        return;
    }
    if (!kept) TellKept("登録 \"" + registrations_.File() + "\" を控えられません。", kept);
    WriteWaiting();
}

void MeasurementWindow::TakeOverRegistrations(const std::vector<int>& machines) {
    if (machines.empty()) return;
    for (int k : machines) flow_.SetProduct(k, registrations_.Paths()[k]);
    LoadMachines(machines, false);
    for (int k : machines) {
        Editor()->forgetDrawing(k);
        if (k != flow_.ShownMachine()) continue;
        productNameBox->setText(Q(flow_.ProductName(k)));
        LoadDrawingFor(k);
        shownProductFolder_ = flow_.ProductPath(k);
        Editor()->currentPointChanged();
    }
}

void MeasurementWindow::TakeWrittenPoints(const std::string& pointFile, const PointTable& table) {
    // What still waits here is this station's newer designation.
    PointTable shown = table;
    for (const auto& [p, d] : log_.ValuesFor<QueuedDesignation>(pointFile)) {
        shown.PosX[p] = d.X;
        shown.PosY[p] = d.Y;
        shown.InstrumentIndex[p] = d.Instrument;
    }
    for (int m = 0; m <= kLastMachine; ++m)
        if (flow_.Registered(m) && PointTablePath(flow_.ProductPath(m)) == pointFile) Editor()->TakeWrittenPoints(m, shown);
}

// The operator record is kept like every entry; the writer has a few seconds
// to take what waits to the share, and what it could not stays for the next
// start, and the operator hears how much.
void MeasurementWindow::FinishDelivery() {
    // A run that saved nothing leaves no operator record.
    if (flow_.SavedCount() != 0) {
        QDateTime now = QDateTime::currentDateTime();
        ClockTime end{now.date().year(), now.date().month(), now.date().day(), now.time().hour(), now.time().minute()};
        OperatorRecord record = FinishOperatorRecord(operatorLog_, chargeText_, flow_.SavedCount(),
                                                     flow_.LoadedPointCount(), startHour_, startMinute_, end);
        operatorLog_ = record.Content;
        for (const auto& [path, content] : OperatorRecordFiles(flow_.ProductFolder(), op_.UserName, record))
            if (auto r = log_.Put(QueuedFile{path, content}); !r) Warn(FailureText(r));
    }
    FileResult cause;
    writer_.Drain(kClosingWaitMs);
    std::optional<FileResult> problem = writer_.Take().problem;
    if (problem && !problem->path.empty()) cause = *problem;
    retryTimer_->stop();
    ShowWaiting();
    const StationLog::Tally tally = log_.Counted();
    const size_t onDisk = tally.values - tally.valuesNotOnDisk, recordsOnDisk = tally.records - tally.recordsNotOnDisk;
    std::string text;
    // The same count as the label; what is only in memory is told apart, plainly.
    if (onDisk)
        text = "書き込めなかった値・登録・指定 " + DecimalText(static_cast<long long>(onDisk)) +
               " 件はこのステーションに残してあり、次の起動時に書き込まれます。";
    else if (recordsOnDisk)
        text = "書き込めなかった記録 " + DecimalText(static_cast<long long>(recordsOnDisk)) +
               " 件はこのステーションに残してあり、次の起動時に書き込まれます。";
    if (tally.valuesNotOnDisk + tally.recordsNotOnDisk)
        text += (text.empty() ? "" : "\n") + std::string("値 ") + DecimalText(static_cast<long long>(tally.valuesNotOnDisk)) +
                " 件・記録 " + DecimalText(static_cast<long long>(tally.recordsNotOnDisk)) +
                " 件はこのステーションのディスクにも書き込めなかったため、失われます。";
    if (!text.empty()) Warn(text + (cause ? std::string() : "\n" + FailureText(cause)));
    writer_.Stop(500);
}

DrawingEditor* MeasurementWindow::Editor() {
    if (!editor_) {
        editor_ = std::make_unique<DrawingEditor>(&editorLink_, op_.SavePath, dialogs_, files_);
        editor_->Load();
    }
    return editor_.get();
}

void MeasurementWindow::closeEvent(QCloseEvent* event) {
    shutDown();
    event->accept();
}

void MeasurementWindow::shutDown() {
    if (unloaded_ || !loaded_) return;
    unloaded_ = true;
    EndReading();
    FinishDelivery();
    // Both windows open where they were left, next time.
    if (editor_) {
        WindowPlacement placement = editor_->TakePlacementForShutdown();
        if (auto r = SaveWindowPlacement(EditorPlacementPath(op_.SavePath), placement, files_.disk); !r)
            Warn(FailureText(r));
    }
    if (auto r = SaveWindowPlacement(MeasurementPlacementPath(op_.SavePath), TakePlacement(this), files_.disk); !r)
        Warn(FailureText(r));
    // Every workbook was saved whole when its last value came: only closed here.
    flow_.CloseAll();
    // The editor refuses to close while the run lasts; now it may.
    ended_ = true;
    if (editor_) editor_->close();
    emit Ended();
}

int MeasurementWindow::EditorLink::CurrentRow(int machine) const { return f.flow_.Point(machine); }

// A widget of an inactive window receives the keys only once its window is
// activated: after a click in the editor the keys would stay with the editor.
void MeasurementWindow::FocusGrid() {
    if (isVisible() && !isActiveWindow()) activateWindow();
    grids_[flow_.ShownMachine()]->setFocus();
}

std::string MeasurementWindow::EditorLink::ExportFile() const {
    return JoinPath(f.flow_.ProductPath(f.flow_.ShownMachine()), "Data.jpg");
}

void MeasurementWindow::Warn(const std::string& text) { dialogs_.Warn(this, Q(text)); }

// A box the operator types into keeps its Ctrl (Ctrl+A, Ctrl+C, Ctrl+V)
// and the keyboard.
static bool TypingInABox(const QWidget* focus) {
    auto* box = qobject_cast<const QLineEdit*>(focus);
    return box && !box->isReadOnly();
}

// The window sees every key before the control that has the focus.
bool MeasurementWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        zoomKey_.Tapped(event);
        return false;
    }
    if (!isEnabled()) return false;
    QWidget* focus = QApplication::focusWidget();
    if (focus ? widget != focus : widget != this) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    bool zoom = zoomKey_.Tapped(event);
    if (event->type() == QEvent::KeyRelease && !key->isAutoRepeat()) {
        if (key->key() != Qt::Key_Control) keyReleased(key->key());
        else if (zoom && !TypingInABox(focus)) keyReleased(Qt::Key_Control);
    }
    if (event->type() == QEvent::KeyPress && !key->text().isEmpty()) {
        characterTyped(key->text());
    }
    return false;
}

}  // namespace ziv
