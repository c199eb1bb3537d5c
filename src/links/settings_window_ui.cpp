#include "links/settings_window_ui.h"

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
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <utility>
#include <vector>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "links/link_port_qt.h"
#include "platform/folder_list_qt.h"
#include "platform/dialogs_qt.h"
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
const char* const kNoNumberMessage = "通信には成功しましたが、応答に数値がありません。";
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

SettingsWindow::SettingsWindow(const std::string& savePath, Dialogs& dialogs, Disk& disk, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), disk_(disk), savePath_(savePath) {
    // A window of its own even when given a parent.
    setWindowFlag(Qt::Window);
    setWindowTitle("ZIV");
    setFont(UiFont(font()));
    buildControls();
    port_ = new SerialPort(this);
    port_->setObjectName("port");
    port_->setDeviceRoot(savePath_);
    testTimer_ = new QTimer(this);
    testTimer_->setObjectName("testTimer");
    testTimer_->setInterval(0);
    connectHandlers();
    loadSettings();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::buildControls() {
    auto* frame1 = new QGroupBox("F1～F10キーと通信の設定", this);
    frame1->setObjectName("linksPanel");
    keyList_ = new QComboBox(frame1);
    keyList_->setObjectName("keyList");
    for (int key = 1; key <= 10; ++key) keyList_->addItem(QStringLiteral("F%1キー").arg(key));
    keyPanel_ = new QGroupBox("F1キー", frame1);
    keyPanel_->setObjectName("keyPanel");

    portList_ = PickList("portList", kPortNumbers, keyPanel_);
    handshakeList_ = PickList("handshakeList", kHandshakes, keyPanel_);
    baudRateList_ = PickList("baudRateList", kBaudRates, keyPanel_);
    parityList_ = PickList("parityList", kParities, keyPanel_);
    dataBitsList_ = PickList("dataBitsList", kDataBits, keyPanel_);
    stopBitsList_ = PickList("stopBitsList", kStopBits, keyPanel_);
    requestBox_ = TextBox("requestBox", keyPanel_);
    pcTerminatorList_ = PickList("pcTerminatorList", kTerminators, keyPanel_);
    deviceTerminatorList_ = PickList("deviceTerminatorList", kTerminators, keyPanel_);
    dataStartBox_ = TextBox("dataStartBox", keyPanel_);
    dataLengthBox_ = TextBox("dataLengthBox", keyPanel_);
    displayNameBox_ = TextBox("displayNameBox", keyPanel_);
    inputNameBox_ = TextBox("inputNameBox", keyPanel_);
    gaugeNumberBox_ = TextBox("gaugeNumberBox", keyPanel_);
    gaugeDueBox_ = TextBox("gaugeDueBox", keyPanel_);
    // A form, not a date: an empty box means no due date.
    gaugeDueBox_->setPlaceholderText("年-月-日");
    testButton = new QPushButton("通信テスト", keyPanel_);
    testButton->setObjectName("testButton");

    auto* rows = new QGridLayout(keyPanel_);
    rows->addWidget(Labelled("ＣＯＭポート番号", portList_, keyPanel_), 0, 0);
    rows->addWidget(Labelled("ハンドシェイク", handshakeList_, keyPanel_), 0, 1);
    rows->addWidget(Labelled("ボーレート（通信速度）", baudRateList_, keyPanel_), 1, 0);
    rows->addWidget(Labelled("パリティー", parityList_, keyPanel_), 1, 1);
    rows->addWidget(Labelled("データ長（ビット）", dataBitsList_, keyPanel_), 1, 2);
    rows->addWidget(Labelled("ストップビット", stopBitsList_, keyPanel_), 1, 3);
    rows->addWidget(Labelled("データ取得用コマンド", requestBox_, keyPanel_), 2, 0);
    rows->addWidget(Labelled("ＰＣ側送信完了文字", pcTerminatorList_, keyPanel_), 2, 1);
    rows->addWidget(Labelled("機器側送信完了文字", deviceTerminatorList_, keyPanel_), 2, 2);
    rows->addWidget(Labelled("データ開始位置", dataStartBox_, keyPanel_), 3, 0);
    rows->addWidget(Labelled("データ長（文字数）", dataLengthBox_, keyPanel_), 3, 1);
    rows->addWidget(Labelled("表示用機器名", displayNameBox_, keyPanel_), 4, 0);
    rows->addWidget(Labelled("入力用機器名", inputNameBox_, keyPanel_), 4, 1);
    rows->addWidget(testButton, 4, 3, Qt::AlignBottom);
    rows->addWidget(Labelled("管理番号", gaugeNumberBox_, keyPanel_), 5, 0);
    rows->addWidget(Labelled("校正期限", gaugeDueBox_, keyPanel_), 5, 1);

    auto* keyRow = new QHBoxLayout;
    auto* keyLabel = new QLabel("キー選択", frame1);
    keyLabel->setBuddy(keyList_);
    keyRow->addWidget(keyLabel);
    keyRow->addWidget(keyList_);
    keyRow->addStretch(1);
    auto* frame1Layout = new QVBoxLayout(frame1);
    frame1Layout->addLayout(keyRow);
    frame1Layout->addWidget(keyPanel_);

    auto* frame3 = new QGroupBox("製品フォルダ設定", this);
    frame3->setObjectName("productFolderPanel");
    folderList_ = new FolderList(frame3);
    folderList_->setObjectName("folderList");
    folderPathBox_ = TextBox("folderPathBox", frame3);
    auto* frame3Layout = new QVBoxLayout(frame3);
    frame3Layout->addWidget(folderList_, 1);
    auto* pathLabel = new QLabel("フォルダパス", frame3);
    pathLabel->setBuddy(folderPathBox_);
    frame3Layout->addWidget(pathLabel);
    frame3Layout->addWidget(folderPathBox_);

    cancelButton = new QPushButton("Cancel", this);
    cancelButton->setObjectName("cancelButton");
    okButton = new QPushButton("OK", this);
    okButton->setObjectName("okButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);
    buttons->addWidget(okButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame1);
    layout->addWidget(frame3, 1);
    layout->addLayout(buttons);
}

void SettingsWindow::connectHandlers() {
    auto onPick = [this](QComboBox* combo, void (SettingsWindow::*handler)()) {
        connect(combo, &QComboBox::currentIndexChanged, this, handler);
    };
    onPick(keyList_, &SettingsWindow::keyChosen);
    onPick(baudRateList_, &SettingsWindow::baudRateChosen);
    onPick(parityList_, &SettingsWindow::parityChosen);
    onPick(dataBitsList_, &SettingsWindow::dataBitsChosen);
    onPick(stopBitsList_, &SettingsWindow::stopBitsChosen);
    onPick(pcTerminatorList_, &SettingsWindow::pcTerminatorChosen);
    onPick(portList_, &SettingsWindow::portChosen);
    onPick(deviceTerminatorList_, &SettingsWindow::deviceTerminatorChosen);
    onPick(handshakeList_, &SettingsWindow::handshakeChosen);
    auto onEdit = [this](QLineEdit* box, void (SettingsWindow::*handler)()) {
        connect(box, &QLineEdit::textChanged, this, handler);
    };
    onEdit(displayNameBox_, &SettingsWindow::displayNameEdited);
    onEdit(inputNameBox_, &SettingsWindow::inputNameEdited);
    onEdit(gaugeNumberBox_, &SettingsWindow::gaugeEdited);
    onEdit(gaugeDueBox_, &SettingsWindow::gaugeEdited);
    onEdit(requestBox_, &SettingsWindow::requestEdited);
    onEdit(dataStartBox_, &SettingsWindow::dataStartEdited);
    onEdit(dataLengthBox_, &SettingsWindow::dataLengthEdited);
    onEdit(folderPathBox_, &SettingsWindow::folderPathEdited);
    connect(folderList_, &FolderList::pathChanged, this, &SettingsWindow::folderChosen);
    connect(okButton, &QPushButton::clicked, this, &SettingsWindow::saveAndClose);
    connect(cancelButton, &QPushButton::clicked, this, &SettingsWindow::cancel);
    connect(testButton, &QPushButton::clicked, this, &SettingsWindow::startCommTest);
    connect(port_, &SerialPort::received, this, &SettingsWindow::onPortData);
    connect(testTimer_, &QTimer::timeout, this, &SettingsWindow::onTestTimeout);
}

// ---- Opening ---------------------------------------------------------------

void SettingsWindow::loadSettings() {
    loadProductFolder();
    moveFolderListTo(folderPathBox_->text());
    loadLinks();
    loadGauges();
    keyList_->setCurrentIndex(0);
    keyChosen();
}

void SettingsWindow::loadProductFolder() {
    const std::string file = ProductFolderFilePath(savePath_);
    if (IsFile(file)) {
        folderPathBox_->setText(QString::fromStdString(LoadProductFolder(file, disk_)));
        return;
    }
    // Proposed only: the file is written by 「OK」, so that 「Cancel」 leaves
    // an installation without a product folder as it was.
    folderPathBox_->setText(QString::fromStdString(DefaultProductFolder()));
}

// A stored folder that has gone leaves the list at the nearest folder above it
// (or the home folder); the path box keeps the stored text for the user to see.
void SettingsWindow::moveFolderListTo(const QString& text) {
    QString target = NearestExistingFolder(text);
    if (target.isEmpty()) target = QDir::homePath();
    if (QDir::cleanPath(target) == folderList_->path()) return;
    const QSignalBlocker quiet(folderList_);
    folderList_->setPath(target);
}

void SettingsWindow::loadLinks() {
    const std::string file = LinksFilePath(savePath_);
    LinksRead read = ReadInstrumentLinks(file, disk_);
    if (read.status == ReadStatus::Missing) {
        MakeFolders(JoinPath(savePath_, "Config"));
        if (auto written = WriteDefaultLinks(file, disk_); !written) {
            dialogs_.Warn(this, QString::fromStdString(FailureText(written)));
            links_.fill(DefaultInstrumentLink());
            return;
        }
        read = ReadInstrumentLinks(file, disk_);
    }
    if (read.status == ReadStatus::Unreadable) {
        linksUnreadable_ = FailureText(read.problem);
        dialogs_.Warn(this, QString::fromStdString(linksUnreadable_));
    }
    links_ = read.links;
}

// The gauges live in a file of their own beside the links, so that
// RS232C.dat keeps its form; a register that cannot be read is not written
// over on "OK".
void SettingsWindow::loadGauges() {
    GaugesRead read = ReadGauges(GaugesFilePath(savePath_), disk_);
    if (read.status == ReadStatus::Unreadable) {
        gaugesUnreadable_ = FailureText(read.problem);
        dialogs_.Warn(this, QString::fromStdString(gaugesUnreadable_));
    }
    gauges_ = read.gauges;
    for (size_t k = 0; k < gauges_.size(); ++k) dueTexts_[k] = gauges_[k].Due ? DayText(*gauges_[k].Due) : "";
}

// ---- Showing and editing a record ----------------------------------------------

InstrumentLink* SettingsWindow::selectedLink() {
    int key = keyList_->currentIndex();
    if (key < 0 || key >= int(links_.size())) return nullptr;
    return &links_[size_t(key)];
}

void SettingsWindow::keyChosen() {
    InstrumentLink* link = selectedLink();
    if (!link) return;
    keyPanel_->setTitle(keyList_->currentText());
    // Every control set below writes the same value back into the record.
    const InstrumentLink& shown = *link;
    showCode(portList_, kPortNumbers, shown.PortNumber);
    showCode(baudRateList_, kBaudRates, shown.BaudRate);
    showCode(parityList_, kParities, shown.Parity);
    showCode(dataBitsList_, kDataBits, shown.DataBits);
    showCode(stopBitsList_, kStopBits, shown.StopBits);
    requestBox_->setText(QString::fromStdString(shown.DataCommand));
    showCode(pcTerminatorList_, kTerminators, shown.PcTerminator);
    showCode(deviceTerminatorList_, kTerminators, shown.DeviceTerminator);
    dataStartBox_->setText(QString::fromStdString(shown.DataStart));
    dataLengthBox_->setText(QString::fromStdString(shown.DataLength));
    displayNameBox_->setText(QString::fromStdString(shown.DisplayName));
    inputNameBox_->setText(QString::fromStdString(shown.InputName));
    showCode(handshakeList_, kHandshakes, shown.Handshake);
    // Each box would store both into the key while the other still shows the last key's.
    const size_t key = static_cast<size_t>(keyList_->currentIndex());
    const QSignalBlocker quietNumber(gaugeNumberBox_), quietDue(gaugeDueBox_);
    gaugeNumberBox_->setText(QString::fromStdString(gauges_[key].ControlNumber));
    gaugeDueBox_->setText(QString::fromStdString(dueTexts_[key]));
}

// A code that is not in the list leaves the list where it was.
void SettingsWindow::showCode(QComboBox* combo, const CodeList& list, const std::string& code) {
    for (size_t pos = 0; pos < list.size(); ++pos)
        if (code == list[pos].second) {
            combo->setCurrentIndex(int(pos));
            return;
        }
}

void SettingsWindow::storeCode(QComboBox* combo, const CodeList& list, std::string InstrumentLink::*field) {
    InstrumentLink* link = selectedLink();
    int pos = combo->currentIndex();
    if (!link || pos < 0 || pos >= int(list.size())) return;
    link->*field = list[size_t(pos)].second;
}

// Every box is stored as one line of a file: a pasted or set text keeps only
// what comes before its first line break. True when the box was changed (its
// handler then runs again with the cut text).
bool SettingsWindow::cutAtLineBreak(QLineEdit* box) {
    const QString text = box->text();
    qsizetype at = -1;
    for (qsizetype i = 0; i < text.size() && at < 0; ++i)
        if (text[i] == QChar('\r') || text[i] == QChar('\n')) at = i;
    if (at < 0) return false;
    box->setText(text.left(at));
    return true;
}

void SettingsWindow::storeText(QLineEdit* box, std::string InstrumentLink::*field) {
    if (cutAtLineBreak(box)) return;
    if (InstrumentLink* link = selectedLink()) link->*field = box->text().toStdString();
}

void SettingsWindow::baudRateChosen() { storeCode(baudRateList_, kBaudRates, &InstrumentLink::BaudRate); }
void SettingsWindow::parityChosen() { storeCode(parityList_, kParities, &InstrumentLink::Parity); }
void SettingsWindow::dataBitsChosen() { storeCode(dataBitsList_, kDataBits, &InstrumentLink::DataBits); }
void SettingsWindow::stopBitsChosen() { storeCode(stopBitsList_, kStopBits, &InstrumentLink::StopBits); }
void SettingsWindow::pcTerminatorChosen() { storeCode(pcTerminatorList_, kTerminators, &InstrumentLink::PcTerminator); }
void SettingsWindow::portChosen() { storeCode(portList_, kPortNumbers, &InstrumentLink::PortNumber); }
void SettingsWindow::deviceTerminatorChosen() { storeCode(deviceTerminatorList_, kTerminators, &InstrumentLink::DeviceTerminator); }
void SettingsWindow::handshakeChosen() { storeCode(handshakeList_, kHandshakes, &InstrumentLink::Handshake); }

void SettingsWindow::displayNameEdited() { storeText(displayNameBox_, &InstrumentLink::DisplayName); }
void SettingsWindow::inputNameEdited() { storeText(inputNameBox_, &InstrumentLink::InputName); }
void SettingsWindow::requestEdited() { storeText(requestBox_, &InstrumentLink::DataCommand); }
void SettingsWindow::dataStartEdited() { storeText(dataStartBox_, &InstrumentLink::DataStart); }
void SettingsWindow::dataLengthEdited() { storeText(dataLengthBox_, &InstrumentLink::DataLength); }

void SettingsWindow::gaugeEdited() {
    if (cutAtLineBreak(gaugeNumberBox_) || cutAtLineBreak(gaugeDueBox_)) return;
    int key = keyList_->currentIndex();
    if (key < 0 || key >= static_cast<int>(gauges_.size())) return;
    gauges_[static_cast<size_t>(key)].ControlNumber = gaugeNumberBox_->text().trimmed().toStdString();
    dueTexts_[static_cast<size_t>(key)] = gaugeDueBox_->text().trimmed().toStdString();
}

bool SettingsWindow::takeDueDates() {
    for (size_t k = 0; k < gauges_.size(); ++k) {
        if (dueTexts_[k].empty()) {
            gauges_[k].Due.reset();
            continue;
        }
        auto due = ParseDay(dueTexts_[k]);
        if (!due) {
            dialogs_.Warn(this, QString::fromStdString("F" + std::to_string(k + 1) + "キーの校正期限 \"" + dueTexts_[k] +
                                                       "\" は日付として読めません（例: 2026-03-31）。"));
            return false;
        }
        gauges_[k].Due = due;
    }
    return true;
}

// ---- Product folder: the path box and the folder list follow each other ---------

void SettingsWindow::folderPathEdited() {
    if (cutAtLineBreak(folderPathBox_)) return;
    const QString text = folderPathBox_->text();
    if (text.isEmpty() || !QFileInfo(text).isDir()) return;
    if (QDir::cleanPath(QFileInfo(text).absoluteFilePath()) == folderList_->path()) return;
    // The box already says where the list goes.
    const QSignalBlocker quiet(folderList_);
    folderList_->setPath(text);
}

void SettingsWindow::folderChosen() {
    const QString path = folderList_->path();
    if (folderPathBox_->text() == path) return;
    // The list already stands where the box will say.
    const QSignalBlocker quiet(folderPathBox_);
    folderPathBox_->setText(path);
}

// ---- Closing -------------------------------------------------------------------

void SettingsWindow::saveAndClose() {
    if (!linksUnreadable_.empty() || !gaugesUnreadable_.empty()) {
        dialogs_.Warn(this, QString::fromStdString(linksUnreadable_.empty() ? gaugesUnreadable_ : linksUnreadable_));
        return;
    }
    if (!takeDueDates()) return;
    const QString text = folderPathBox_->text();
    if (text.isEmpty() || !QFileInfo(text).isDir()) {
        dialogs_.Warn(this, kFolderMessage);
        return;
    }
    // The message names the file that could not be written and why.
    FileResult written = SaveProductFolder(ProductFolderFilePath(savePath_), text.toStdString(), disk_);
    if (written) written = SaveInstrumentLinks(LinksFilePath(savePath_), links_, disk_);
    if (written) written = SaveGauges(GaugesFilePath(savePath_), gauges_, disk_);
    if (!written) {
        dialogs_.Warn(this, QString::fromUtf8(kFolderMessage) + "\n" + QString::fromStdString(FailureText(written)));
        return;
    }
    close();
}

void SettingsWindow::cancel() { close(); }

void SettingsWindow::closeEvent(QCloseEvent* event) {
    // The port is open while a test waits; the test ends within two ticks.
    if (session_.Active()) {
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

void SettingsWindow::startCommTest() {
    InstrumentLink* link = selectedLink();
    if (!link || session_.Active()) return;
    testLink_ = *link;
    setEnabled(false);
    ApplyLink(*port_, testLink_);
    port_->setNullDiscard(true);
    port_->clearInBuffer();
    port_->clearOutBuffer();
    // The message names the device and why it failed.
    const QString portMessage = QString::fromUtf8(kPortMessage) + "\n";
    if (FileResult opened = port_->open(); !opened)
        return finishTest(false, portMessage + QString::fromStdString(FailureText(opened)));
    if (auto request = CommandText(testLink_); request && !port_->output(*request)) {
        port_->close();  // left open, it would refuse the next test
        return finishTest(false, portMessage + QString::fromStdString(RequestNotSentText(*port_, *request)));
    }
    session_.Begin(testLink_);
    testTimer_->start(kTestTickMs);
}

void SettingsWindow::onPortData() {
    if (!session_.Active()) return;
    size_t taken = 0;
    std::string received = port_->input(session_.Room(), &taken);
    auto result = session_.Receive(received, taken);
    if (result.event == ReadingSession::Event::Nothing) return;
    endTest();
    // The number as the station would record it: a zero before the point,
    // and its sign, which points whose lower limit lies below zero keep.
    double reading = NumberFromText(result.value);
    if (result.event == ReadingSession::Event::CutFailed || !std::isfinite(reading))
        return finishTest(false, kCutMessage);
    const QString reply = QStringLiteral("［取得データ］\r\n") + QString::fromStdString(session_.Reply());
    if (!HoldsNumber(result.value))
        return finishTest(false, QString::fromUtf8(kNoNumberMessage) + "\r\n\r\n" + reply);
    finishTest(true, reply + QStringLiteral("\r\n\r\n［整形したデータ］\r\n") +
                         QString::fromStdString(GeneralDecimalText(reading)));
}

void SettingsWindow::onTestTimeout() {
    if (session_.Tick().event != ReadingSession::Event::TimedOut) return;
    endTest();
    finishTest(false, kTimeoutMessage);
}

void SettingsWindow::endTest() {
    testTimer_->stop();
    testTimer_->setInterval(0);
    if (port_->isOpen()) port_->close();
    session_.End();
}

// The window takes input again before the message, so the box is never shown
// over a disabled window.
void SettingsWindow::finishTest(bool success, const QString& text) {
    setEnabled(true);
    if (success)
        dialogs_.Show(this, {MessageIcon::Information, kSuccessTitle, text});
    else
        dialogs_.Warn(this, text);
}

}  // namespace ziv
