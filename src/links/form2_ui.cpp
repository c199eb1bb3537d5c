#include "links/form2_ui.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <utility>
#include <vector>

#include "common/numbers.h"
#include "platform/folder_list_qt.h"
#include "platform/message_box_qt.h"
#include "platform/paths.h"
#include "platform/serial_port_qt.h"

namespace ziv {

namespace {

using CodeList = std::vector<std::pair<const char*, const char*>>;

const CodeList kPortNumbers = {{"１", "1"},   {"２", "2"},   {"３", "3"},   {"４", "4"},   {"５", "5"},
                               {"６", "6"},   {"７", "7"},   {"８", "8"},   {"９", "9"},   {"１０", "10"},
                               {"１１", "11"}, {"１２", "12"}, {"１３", "13"}, {"１４", "14"}, {"１５", "15"}};
const CodeList kBaudRates = {{"１１０", "110"},       {"３００", "300"},       {"６００", "600"},
                             {"１２００", "1200"},    {"２４００", "2400"},    {"４８００", "4800"},
                             {"９６００", "9600"},    {"１４４００", "14400"}, {"１９２００", "19200"},
                             {"２８８００", "28800"}, {"３８４００", "38400"}, {"５６０００", "56000"},
                             {"１２８０００", "128000"}, {"２５６０００", "256000"}};
const CodeList kParities = {{"偶数", "E"}, {"マーク", "M"}, {"なし", "N"}, {"奇数", "O"}, {"スペース", "S"}};
const CodeList kDataBits = {{"４", "4"}, {"５", "5"}, {"６", "6"}, {"７", "7"}, {"８", "8"}};
const CodeList kStopBits = {{"１", "1"}, {"１．５", "1.5"}, {"２", "2"}};
const CodeList kTerminators = {{"ＣＲ", "1"}, {"ＬＦ", "2"}, {"ＣＲ　ＬＦ", "3"}};
const CodeList kHandshakes = {{"なし", "0"}, {"ＸＯｎＸＯｆｆ", "1"}, {"ＲＴＳ", "2"}, {"ＲＴＳＸＯｎＸＯｆｆ", "3"}};

const char* const kPortMessage = "ポートが開けません。ＣＯＭポートの設定及び機器を確認して下さい。";
const char* const kTimeoutMessage = "通信エラーが発生しました。";
const char* const kCutMessage = "通信には成功しましたが、「データ開始位置」、又は「データ長」に誤りがあります。";
const char* const kFolderMessage = "製品フォルダの設定が正しくありません。";
const char* const kSuccessTitle = "通信成功";
constexpr int kTestTickMs = 1000;

QComboBox* PickList(const char* name, const CodeList& entries, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(false);
    for (const auto& entry : entries) combo->addItem(QString::fromUtf8(entry.first));
    combo->setCurrentIndex(-1);
    return combo;
}

QLineEdit* TextBox(const char* name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    return box;
}

// A control under its label, as one cell of a row.
QWidget* Labelled(const char* label, QWidget* control, QWidget* parent) {
    auto* cell = new QWidget(parent);
    auto* layout = new QVBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QString::fromUtf8(label), cell);
    caption->setBuddy(control);
    layout->addWidget(caption);
    control->setParent(cell);
    layout->addWidget(control);
    return cell;
}

QFont UiFont(QFont font) {
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans CJK JP")});
    return font;
}

// The nearest folder that exists at or above a path; empty when there is none.
QString NearestExistingFolder(const QString& path) {
    if (path.isEmpty()) return {};
    QString candidate = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (;;) {
        if (QFileInfo(candidate).isDir()) return candidate;
        QString parent = QFileInfo(candidate).path();
        if (parent == candidate) return {};
        candidate = parent;
    }
}

}  // namespace

Form2::Form2(const std::string& savePath, QWidget* parent) : QWidget(parent), savePath_(savePath) {
    // A window of its own even when given a parent.
    setWindowFlag(Qt::Window);
    setWindowTitle("ZIV");
    setFont(UiFont(font()));
    buildControls();
    MSComm1 = new SerialPort(this);
    MSComm1->setObjectName("MSComm1");
    MSComm1->setDeviceRoot(savePath_);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(0);
    connectHandlers();
    Form_Load();
}

Form2::~Form2() = default;

void Form2::buildControls() {
    auto* frame1 = new QGroupBox("F1～F10キーと通信の設定", this);
    frame1->setObjectName("Frame1");
    Combo1 = new QComboBox(frame1);
    Combo1->setObjectName("Combo1");
    for (int key = 1; key <= 10; ++key) Combo1->addItem(QStringLiteral("F%1キー").arg(key));
    Frame2 = new QGroupBox("F1キー", frame1);
    Frame2->setObjectName("Frame2");

    Combo7 = PickList("Combo7", kPortNumbers, Frame2);
    Combo9 = PickList("Combo9", kHandshakes, Frame2);
    Combo2 = PickList("Combo2", kBaudRates, Frame2);
    Combo3 = PickList("Combo3", kParities, Frame2);
    Combo4 = PickList("Combo4", kDataBits, Frame2);
    Combo5 = PickList("Combo5", kStopBits, Frame2);
    Text3 = TextBox("Text3", Frame2);
    Combo6 = PickList("Combo6", kTerminators, Frame2);
    Combo8 = PickList("Combo8", kTerminators, Frame2);
    Text4 = TextBox("Text4", Frame2);
    Text5 = TextBox("Text5", Frame2);
    Text1 = TextBox("Text1", Frame2);
    Text2 = TextBox("Text2", Frame2);
    Command3 = new QPushButton("通信テスト", Frame2);
    Command3->setObjectName("Command3");

    auto* rows = new QGridLayout(Frame2);
    rows->addWidget(Labelled("ＣＯＭポート番号", Combo7, Frame2), 0, 0);
    rows->addWidget(Labelled("ハンドシェイク", Combo9, Frame2), 0, 1);
    rows->addWidget(Labelled("ボーレート（通信速度）", Combo2, Frame2), 1, 0);
    rows->addWidget(Labelled("パリティー", Combo3, Frame2), 1, 1);
    rows->addWidget(Labelled("データ長", Combo4, Frame2), 1, 2);
    rows->addWidget(Labelled("ストップビット", Combo5, Frame2), 1, 3);
    rows->addWidget(Labelled("データ取得用コマンド", Text3, Frame2), 2, 0);
    rows->addWidget(Labelled("ＰＣ側送信完了文字", Combo6, Frame2), 2, 1);
    rows->addWidget(Labelled("機器側送信完了文字", Combo8, Frame2), 2, 2);
    rows->addWidget(Labelled("データ開始位置", Text4, Frame2), 3, 0);
    rows->addWidget(Labelled("データ長", Text5, Frame2), 3, 1);
    rows->addWidget(Labelled("表示用機器名", Text1, Frame2), 4, 0);
    rows->addWidget(Labelled("入力用機器名", Text2, Frame2), 4, 1);
    rows->addWidget(Command3, 4, 3, Qt::AlignBottom);

    auto* keyRow = new QHBoxLayout;
    auto* keyLabel = new QLabel("キー選択", frame1);
    keyLabel->setBuddy(Combo1);
    keyRow->addWidget(keyLabel);
    keyRow->addWidget(Combo1);
    keyRow->addStretch(1);
    auto* frame1Layout = new QVBoxLayout(frame1);
    frame1Layout->addLayout(keyRow);
    frame1Layout->addWidget(Frame2);

    auto* frame3 = new QGroupBox("製品フォルダ設定", this);
    frame3->setObjectName("Frame3");
    Dir1 = new FolderList(frame3);
    Dir1->setObjectName("Dir1");
    Text6 = TextBox("Text6", frame3);
    auto* frame3Layout = new QVBoxLayout(frame3);
    frame3Layout->addWidget(Dir1, 1);
    auto* pathLabel = new QLabel("フォルダパス", frame3);
    pathLabel->setBuddy(Text6);
    frame3Layout->addWidget(pathLabel);
    frame3Layout->addWidget(Text6);

    Command2 = new QPushButton("Cancel", this);
    Command2->setObjectName("Command2");
    Command1 = new QPushButton("OK", this);
    Command1->setObjectName("Command1");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame1);
    layout->addWidget(frame3, 1);
    layout->addLayout(buttons);
}

void Form2::connectHandlers() {
    auto onPick = [this](QComboBox* combo, void (Form2::*handler)()) {
        connect(combo, &QComboBox::currentIndexChanged, this, handler);
    };
    onPick(Combo1, &Form2::Combo1_Click);
    onPick(Combo2, &Form2::Combo2_Click);
    onPick(Combo3, &Form2::Combo3_Click);
    onPick(Combo4, &Form2::Combo4_Click);
    onPick(Combo5, &Form2::Combo5_Click);
    onPick(Combo6, &Form2::Combo6_Click);
    onPick(Combo7, &Form2::Combo7_Click);
    onPick(Combo8, &Form2::Combo8_Click);
    onPick(Combo9, &Form2::Combo9_Click);
    auto onEdit = [this](QLineEdit* box, void (Form2::*handler)()) {
        connect(box, &QLineEdit::textChanged, this, handler);
    };
    onEdit(Text1, &Form2::Text1_Change);
    onEdit(Text2, &Form2::Text2_Change);
    onEdit(Text3, &Form2::Text3_Change);
    onEdit(Text4, &Form2::Text4_Change);
    onEdit(Text5, &Form2::Text5_Change);
    onEdit(Text6, &Form2::Text6_Change);
    connect(Dir1, &FolderList::pathChanged, this, &Form2::Dir1_Change);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    connect(MSComm1, &SerialPort::onComm, this, &Form2::MSComm1_OnComm);
    connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
}

// ---- Opening ---------------------------------------------------------------

void Form2::Form_Load() {
    loadProductFolder();
    moveFolderListTo(Text6->text());
    loadLinks();
    Combo1->setCurrentIndex(0);
    Combo1_Click();
}

void Form2::loadProductFolder() {
    const std::string file = ProductFolderFilePath(savePath_);
    if (IsFile(file)) {
        Text6->setText(QString::fromStdString(LoadProductFolder(file)));
        return;
    }
    const std::string folder = DefaultProductFolder();
    Text6->setText(QString::fromStdString(folder));
    MakeFolders(JoinPath(savePath_, "Config"));
    if (auto written = SaveProductFolder(file, folder); !written)
        ShowWarning(this, QString::fromStdString(written.error));
}

// A stored folder that has gone leaves the list at the nearest folder above it
// (or the home folder); the path box keeps the stored text for the user to see.
void Form2::moveFolderListTo(const QString& text) {
    QString target = NearestExistingFolder(text);
    if (target.isEmpty()) target = QDir::homePath();
    if (QDir::cleanPath(target) == Dir1->path()) return;
    SkipDirChange = 1;
    if (!Dir1->setPath(target) || SkipDirChange) SkipDirChange = 0;
}

void Form2::loadLinks() {
    const std::string file = LinksFilePath(savePath_);
    LinksRead read = ReadInstrumentLinks(file);
    if (read.status == ReadStatus::Missing) {
        MakeFolders(JoinPath(savePath_, "Config"));
        if (auto written = WriteDefaultLinks(file); !written) {
            ShowWarning(this, QString::fromStdString(written.error));
            InstrumentLinks_.fill(DefaultInstrumentLink());
            return;
        }
        read = ReadInstrumentLinks(file);
    }
    if (read.status == ReadStatus::Unreadable) {
        linksUnreadable_ = read.error;
        ShowWarning(this, QString::fromStdString(read.error));
    }
    InstrumentLinks_ = read.links;
}

// ---- Showing and editing a record ----------------------------------------------

InstrumentLink* Form2::selectedLink() {
    int key = Combo1->currentIndex();
    if (key < 0 || key >= int(InstrumentLinks_.size())) return nullptr;
    return &InstrumentLinks_[size_t(key)];
}

void Form2::Combo1_Click() {
    InstrumentLink* link = selectedLink();
    if (!link) return;
    Frame2->setTitle(Combo1->currentText());
    // Every control set below writes the same value back into the record.
    const InstrumentLink& shown = *link;
    showCode(Combo7, kPortNumbers, shown.PortNumber);
    showCode(Combo2, kBaudRates, shown.BaudRate);
    showCode(Combo3, kParities, shown.Parity);
    showCode(Combo4, kDataBits, shown.DataBits);
    showCode(Combo5, kStopBits, shown.StopBits);
    Text3->setText(QString::fromStdString(shown.DataCommand));
    showCode(Combo6, kTerminators, shown.PcTerminator);
    showCode(Combo8, kTerminators, shown.DeviceTerminator);
    Text4->setText(QString::fromStdString(shown.DataStart));
    Text5->setText(QString::fromStdString(shown.DataLength));
    Text1->setText(QString::fromStdString(shown.DisplayName));
    Text2->setText(QString::fromStdString(shown.InputName));
    showCode(Combo9, kHandshakes, shown.Handshake);
}

// A code that is not in the list leaves the list where it was.
void Form2::showCode(QComboBox* combo, const CodeList& list, const std::string& code) {
    for (size_t pos = 0; pos < list.size(); ++pos)
        if (code == list[pos].second) {
            combo->setCurrentIndex(int(pos));
            return;
        }
}

void Form2::storeCode(QComboBox* combo, const CodeList& list, std::string InstrumentLink::*field) {
    InstrumentLink* link = selectedLink();
    int pos = combo->currentIndex();
    if (!link || pos < 0 || pos >= int(list.size())) return;
    link->*field = list[size_t(pos)].second;
}

// Every box is stored as one line of a file: a pasted or set text keeps only
// what comes before its first line break. True when the box was changed (its
// handler then runs again with the cut text).
bool Form2::cutAtLineBreak(QLineEdit* box) {
    const QString text = box->text();
    qsizetype at = -1;
    for (qsizetype i = 0; i < text.size() && at < 0; ++i)
        if (text[i] == QChar('\r') || text[i] == QChar('\n')) at = i;
    if (at < 0) return false;
    box->setText(text.left(at));
    return true;
}

void Form2::storeText(QLineEdit* box, std::string InstrumentLink::*field) {
    if (cutAtLineBreak(box)) return;
    if (InstrumentLink* link = selectedLink()) link->*field = box->text().toStdString();
}

void Form2::Combo2_Click() { storeCode(Combo2, kBaudRates, &InstrumentLink::BaudRate); }
void Form2::Combo3_Click() { storeCode(Combo3, kParities, &InstrumentLink::Parity); }
void Form2::Combo4_Click() { storeCode(Combo4, kDataBits, &InstrumentLink::DataBits); }
void Form2::Combo5_Click() { storeCode(Combo5, kStopBits, &InstrumentLink::StopBits); }
void Form2::Combo6_Click() { storeCode(Combo6, kTerminators, &InstrumentLink::PcTerminator); }
void Form2::Combo7_Click() { storeCode(Combo7, kPortNumbers, &InstrumentLink::PortNumber); }
void Form2::Combo8_Click() { storeCode(Combo8, kTerminators, &InstrumentLink::DeviceTerminator); }
void Form2::Combo9_Click() { storeCode(Combo9, kHandshakes, &InstrumentLink::Handshake); }

void Form2::Text1_Change() { storeText(Text1, &InstrumentLink::DisplayName); }
void Form2::Text2_Change() { storeText(Text2, &InstrumentLink::InputName); }
void Form2::Text3_Change() { storeText(Text3, &InstrumentLink::DataCommand); }
void Form2::Text4_Change() { storeText(Text4, &InstrumentLink::DataStart); }
void Form2::Text5_Change() { storeText(Text5, &InstrumentLink::DataLength); }

// ---- Product folder: the path box and the folder list follow each other ---------

void Form2::Text6_Change() {
    if (cutAtLineBreak(Text6)) return;
    if (SkipTextChange) {
        SkipTextChange = 0;
        return;
    }
    const QString text = Text6->text();
    if (text.isEmpty() || !QFileInfo(text).isDir()) return;
    if (QDir::cleanPath(QFileInfo(text).absoluteFilePath()) == Dir1->path()) return;
    SkipDirChange = 1;
    // A folder that cannot be listed leaves the list where it is, and no flag behind.
    if (!Dir1->setPath(text)) SkipDirChange = 0;
}

void Form2::Dir1_Change() {
    if (SkipDirChange) {
        SkipDirChange = 0;
        return;
    }
    const QString path = Dir1->path();
    if (Text6->text() == path) return;
    SkipTextChange = 1;
    Text6->setText(path);
}

// ---- Closing -------------------------------------------------------------------

void Form2::Command1_Click() {
    if (!linksUnreadable_.empty()) {
        ShowWarning(this, QString::fromStdString(linksUnreadable_));
        return;
    }
    const QString text = Text6->text();
    if (text.isEmpty() || !QFileInfo(text).isDir()) {
        ShowWarning(this, kFolderMessage);
        return;
    }
    // The message names the file that could not be written and why.
    WriteResult written = SaveProductFolder(ProductFolderFilePath(savePath_), text.toStdString());
    if (written) written = SaveInstrumentLinks(LinksFilePath(savePath_), InstrumentLinks_);
    if (!written) {
        ShowWarning(this, QString::fromUtf8(kFolderMessage) + "\n" + QString::fromStdString(written.error));
        return;
    }
    close();
}

void Form2::Command2_Click() { close(); }

void Form2::closeEvent(QCloseEvent* event) {
    // The port is open while a test waits; the test ends within two ticks.
    if (testWaiting_) {
        event->ignore();
        return;
    }
    event->accept();
    if (!closedSent_) {
        closedSent_ = true;
        emit closed();
    }
}

// ---- Communication test --------------------------------------------------------

void Form2::Command3_Click() {
    InstrumentLink* link = selectedLink();
    if (!link || testWaiting_) return;
    testLink_ = *link;
    setEnabled(false);
    MSComm1->setHandshaking(WholeNumberFromText(testLink_.Handshake).value_or(-1));
    MSComm1->setNullDiscard(true);
    MSComm1->setSettings(SerialSettingsText(testLink_));
    MSComm1->setRThreshold(1);
    MSComm1->setSThreshold(0);
    MSComm1->setCommPort(WholeNumberFromText(testLink_.PortNumber).value_or(0));
    ReplyBuffer.clear();
    replyBytes_ = 0;
    MSComm1->clearInBuffer();
    MSComm1->clearOutBuffer();
    if (!MSComm1->open()) return finishTest(false, kPortMessage);
    if (auto request = CommandText(testLink_); request && !MSComm1->output(*request)) {
        MSComm1->close();  // left open, it would refuse the next test
        return finishTest(false, kPortMessage);
    }
    TestTicks = 0;
    Timer1->start(kTestTickMs);
    testWaiting_ = true;
}

void Form2::MSComm1_OnComm() {
    if (MSComm1->commEvent() != 2 || !testWaiting_) return;
    size_t taken = 0;
    ReplyBuffer += MSComm1->input(kReplyByteLimit - replyBytes_, &taken);
    replyBytes_ += taken;
    if (!ReplyComplete(ReplyBuffer, testLink_)) return;
    endTest();
    auto value = CutReply(ReplyBuffer, testLink_);
    double reading = value ? std::fabs(NumberFromText(*value)) : 0;
    if (!value || !std::isfinite(reading)) return finishTest(false, kCutMessage);
    finishTest(true, QStringLiteral("［取得データ］\r\n") + QString::fromStdString(ReplyBuffer) +
                         QStringLiteral("\r\n\r\n［整形したデータ］\r\n") +
                         QString::fromStdString(CompactDecimalText(reading)));
}

void Form2::Timer1_Timer() {
    if (!testWaiting_) return;
    ++TestTicks;
    if (TestTicks <= 1) return;
    endTest();
    finishTest(false, kTimeoutMessage);
}

void Form2::endTest() {
    Timer1->stop();
    Timer1->setInterval(0);
    if (MSComm1->isOpen()) MSComm1->close();
    testWaiting_ = false;
}

// The window takes input again before the message, so the box is never shown
// over a disabled window.
void Form2::finishTest(bool success, const QString& text) {
    setEnabled(true);
    if (success)
        ShowMessage(this, MessageIcon::Information, kSuccessTitle, text);
    else
        ShowWarning(this, text);
}

}  // namespace ziv
