#include <QClipboard>
#include <QLabel>
#include <map>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "settings_support.h"
#include "links/gauge_register.h"
#include "platform/folder_list_qt.h"
#include "platform/paths.h"

using ziv::SettingsWindow;

namespace {

const std::string kDefaultRecordBytes =
    "1\r\n4800\r\nN\r\n8\r\n2\r\n1\r\n1\r\n1\r\n5\r\n8\r\n\x83\x7d\x83\x43\x83\x4e\x83\x8d\r\nM\r\n2\r\n";

std::string DefaultFileBytes() {
    std::string bytes;
    for (int key = 0; key < 10; ++key) bytes += kDefaultRecordBytes;
    return bytes;
}

ziv::FolderList* folderList_(SettingsWindow& form) { return form.findChild<ziv::FolderList*>("folderList"); }

}  // namespace

// Only 「OK」 writes ProductDir.dat: an installation cancelled out of its
// first settings stays without a product folder, and the measurement window
// says so, rather than working below a folder nobody chose.
TEST(Settings, FirstOpeningCreatesTheLinksFileShowsF1AndCancelWritesNoProductFolder) {
    SettingsWindowTest t;
    ziv::RemoveFile(t.root / "Config");  // not even the folder yet
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QSignalSpy closed(&form, &SettingsWindow::closed);

    EXPECT_EQ(ReadBytes(t.linksFile()), DefaultFileBytes());
    EXPECT_FALSE(ziv::IsFile(t.folderFile()));
    EXPECT_TRUE(t.messages.empty());

    EXPECT_EQ(form.windowTitle(), "ZIV");
    EXPECT_EQ(Control<QGroupBox>(form, "keyPanel")->title(), "F1キー");
    EXPECT_EQ(Shown(form, "keyList"), "F1キー");
    const std::pair<const char*, const char*> f1[] = {
        {"portList", "１"}, {"baudRateList", "４８００"}, {"parityList", "なし"}, {"dataBitsList", "８"},   {"stopBitsList", "２"},
        {"requestBox", "1"},   {"pcTerminatorList", "ＣＲ"},     {"deviceTerminatorList", "ＣＲ"}, {"dataStartBox", "5"},     {"dataLengthBox", "8"},
        {"displayNameBox", "マイクロ"}, {"inputNameBox", "M"},    {"handshakeList", "ＲＴＳ"}, {"folderPathBox", t.home.c_str()}};
    for (auto [control, text] : f1) EXPECT_EQ(Shown(form, control), text) << control;
    EXPECT_EQ(folderList_(form)->path().toStdString(), t.home);
    // Seen: two fields both labelled 「データ長」, and a placeholder that read as a due date.
    std::map<QString, QString> captions;
    for (auto* label : form.findChildren<QLabel*>())
        if (label->buddy()) captions[label->buddy()->objectName()] = label->text();
    EXPECT_NE(captions["dataBitsList"], captions["dataLengthBox"]);
    EXPECT_FALSE(ziv::ParseDay(Box(form, "gaugeDueBox")->placeholderText().toStdString()));

    QTest::mouseClick(Button(form, "cancelButton"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(ReadBytes(t.linksFile()), DefaultFileBytes());
    EXPECT_FALSE(ziv::IsFile(t.folderFile()));
}

TEST(Settings, RateChosenForF3IsKeptApartFromF1AndWrittenByOk) {
    SettingsWindowTest t;
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QSignalSpy closed(&form, &SettingsWindow::closed);
    QComboBox* keys = List(form, "keyList");

    keys->setCurrentIndex(2);
    EXPECT_EQ(Control<QGroupBox>(form, "keyPanel")->title(), "F3キー");
    List(form, "baudRateList")->setCurrentIndex(6);
    EXPECT_EQ(Shown(form, "baudRateList"), "９６００");
    keys->setCurrentIndex(0);
    EXPECT_EQ(Shown(form, "baudRateList"), "４８００");
    keys->setCurrentIndex(2);
    EXPECT_EQ(Shown(form, "baudRateList"), "９６００");
    QTest::keyClicks(Box(form, "displayNameBox"), "-2");
    // Other lists of F3: what is shown against what is stored.
    List(form, "parityList")->setCurrentIndex(0);
    List(form, "stopBitsList")->setCurrentIndex(1);
    List(form, "portList")->setCurrentIndex(14);
    List(form, "deviceTerminatorList")->setCurrentIndex(2);
    List(form, "handshakeList")->setCurrentIndex(1);
    EXPECT_EQ(Shown(form, "parityList"), "偶数");
    EXPECT_EQ(Shown(form, "stopBitsList"), "１．５");
    EXPECT_EQ(Shown(form, "portList"), "１５");
    EXPECT_EQ(Shown(form, "deviceTerminatorList"), "ＣＲ　ＬＦ");
    EXPECT_EQ(Shown(form, "handshakeList"), "ＸＯｎＸＯｆｆ");

    const std::string products = t.folder("製品");
    Box(form, "folderPathBox")->setText(QString::fromStdString(products));
    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);

    EXPECT_TRUE(t.messages.empty());
    EXPECT_EQ(closed.count(), 1);
    auto lines = FileLines(t.linksFile());
    ASSERT_EQ(lines.size(), 130u);
    EXPECT_EQ(lines[27], "9600");
    const std::vector<std::string> f3(lines.begin() + 26, lines.begin() + 39);
    EXPECT_EQ(f3, (std::vector<std::string>{"15", "9600", "E", "8", "1.5", "1", "1", "3", "5", "8", "マイクロ-2", "M", "1"}));
    EXPECT_EQ(lines[1], "4800");
    EXPECT_EQ(lines[14], "4800");  // F2 untouched
    EXPECT_EQ(lines[10], "マイクロ");
    EXPECT_EQ(ReadBytes(t.folderFile()), ziv::ToCp932(products + "\r\n").value());
}

// Each key's gauge and calibration due date stay with the key, a due date
// that is no date keeps the window open with the key named, and "OK" writes
// them in their own file, the links file as it was.
TEST(Settings, GaugesOfEachKeyAreKeptApartAndWrittenBesideTheLinks) {
    SettingsWindowTest t;
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QSignalSpy closed(&form, &SettingsWindow::closed);
    const std::string links = ReadBytes(t.linksFile());
    QComboBox* keys = List(form, "keyList");
    keys->setCurrentIndex(2);
    QTest::keyClicks(Box(form, "gaugeNumberBox"), "G-103");
    QTest::keyClicks(Box(form, "gaugeDueBox"), "2026-03-31");
    keys->setCurrentIndex(0);
    EXPECT_EQ(Shown(form, "gaugeNumberBox"), "");
    EXPECT_EQ(Shown(form, "gaugeDueBox"), "");
    keys->setCurrentIndex(4);
    Box(form, "gaugeDueBox")->setText("3月末");
    keys->setCurrentIndex(2);
    EXPECT_EQ(Shown(form, "gaugeNumberBox"), "G-103");
    EXPECT_EQ(Shown(form, "gaugeDueBox"), "2026-03-31");

    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_NE(t.messages[0].text.toStdString().find("F5キーの校正期限"), std::string::npos);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_FALSE(ziv::IsFile(ziv::GaugesFilePath(t.root.path())));

    keys->setCurrentIndex(4);
    Box(form, "gaugeDueBox")->setText("2026/4/1");
    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    ziv::GaugesRead read = ziv::ReadGauges(ziv::GaugesFilePath(t.root.path()));
    ASSERT_EQ(read.status, ziv::ReadStatus::Read);
    EXPECT_EQ(read.gauges[2].ControlNumber, "G-103");
    EXPECT_EQ(ziv::DayText(*read.gauges[2].Due), "2026-03-31");
    EXPECT_EQ(ziv::DayText(*read.gauges[4].Due), "2026-04-01");
    EXPECT_FALSE(read.gauges[0].Due);
    EXPECT_EQ(ReadBytes(t.linksFile()), links);
}

TEST(Settings, CancelAfterEditsLeavesTheFilesAsTheyWere) {
    SettingsWindowTest t;
    WriteBytes(t.linksFile(), DefaultFileBytes() + "extra line\r\n");
    WriteBytes(t.folderFile(), t.home + "\r\n");
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QSignalSpy closed(&form, &SettingsWindow::closed);
    List(form, "baudRateList")->setCurrentIndex(0);
    Box(form, "displayNameBox")->setText("ノギス");
    List(form, "keyList")->setCurrentIndex(9);
    Box(form, "dataStartBox")->setText("3");
    Box(form, "folderPathBox")->setText(QString::fromStdString(t.folder("other")));

    QTest::mouseClick(Button(form, "cancelButton"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(ReadBytes(t.linksFile()), DefaultFileBytes() + "extra line\r\n");
    EXPECT_EQ(ReadBytes(t.folderFile()), t.home + "\r\n");
}

TEST(Settings, OkRefusesAFolderThatIsNotThereAndWritesNothing) {
    SettingsWindowTest t;
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    form.show();
    QSignalSpy closed(&form, &SettingsWindow::closed);
    List(form, "baudRateList")->setCurrentIndex(0);
    const std::string linksBefore = ReadBytes(t.linksFile());
    const std::string folderBefore = ReadBytes(t.folderFile());
    WriteBytes(t.root / "a-file", "x");

    for (std::string path : {t.root / "missing", std::string(), t.root / "a-file"}) {
        t.messages.clear();
        Box(form, "folderPathBox")->setText(QString::fromStdString(path));
        QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
        ASSERT_EQ(t.messages.size(), 1u) << path;
        EXPECT_EQ(t.messages[0].text, "製品フォルダの設定が正しくありません。");
        EXPECT_EQ(t.messages[0].title, "ZIV - 警告");
        EXPECT_EQ(t.messages[0].icon, ziv::MessageIcon::Critical);
    }
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(ReadBytes(t.linksFile()), linksBefore);
    EXPECT_EQ(ReadBytes(t.folderFile()), folderBefore);
}

TEST(Settings, OkThatCannotWriteShowsTheFolderMessageAndStaysOpen) {
    SettingsWindowTest t;
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QSignalSpy closed(&form, &SettingsWindow::closed);
    t.disk.writes = [](ziv::WriteStep step, const std::string&) { return step == ziv::WriteStep::Rename ? EIO : 0; };
    Box(form, "folderPathBox")->setText(QString::fromStdString(t.folder("p")));
    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
    t.disk.writes = nullptr;
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_TRUE(t.messages[0].text.startsWith("製品フォルダの設定が正しくありません。\n"));
    EXPECT_TRUE(t.messages[0].text.contains(QString::fromStdString(t.folderFile())));
    EXPECT_EQ(closed.count(), 0);
    EXPECT_FALSE(ziv::IsFile(t.folderFile()));
}

TEST(Settings, ValuesOutsideTheListsAndShortFilesAreKeptAsStored) {
    SettingsWindowTest t;
    // F1 default, F2 with codes no list holds, nothing for F3 to F10.
    std::string f2 = "99\r\n4800\r\nX\r\n8\r\n2\r\nREQ\r\n9\r\n1\r\n5\r\n8\r\nA\r\nB\r\n2\r\n";
    WriteBytes(t.linksFile(), kDefaultRecordBytes + f2);
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    List(form, "keyList")->setCurrentIndex(1);
    EXPECT_EQ(Shown(form, "portList"), "１");    // the list stays where F1 left it
    EXPECT_EQ(Shown(form, "parityList"), "なし");
    EXPECT_EQ(Shown(form, "pcTerminatorList"), "ＣＲ");
    EXPECT_EQ(Shown(form, "requestBox"), "REQ");
    List(form, "keyList")->setCurrentIndex(2);
    EXPECT_EQ(Shown(form, "displayNameBox"), "");
    EXPECT_EQ(form.instrumentLinks()[1].PortNumber, "99");
    EXPECT_EQ(form.instrumentLinks()[1].Parity, "X");
    EXPECT_EQ(form.instrumentLinks()[1].PcTerminator, "9");
    EXPECT_EQ(form.instrumentLinks()[2], ziv::InstrumentLink{});

    Box(form, "folderPathBox")->setText(QString::fromStdString(t.home));
    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
    std::string expected = kDefaultRecordBytes + f2;
    for (int i = 0; i < 8 * 13; ++i) expected += "\r\n";
    EXPECT_EQ(ReadBytes(t.linksFile()), expected);
}

TEST(Settings, FirstShownRecordWithUnknownCodesLeavesTheListsEmpty) {
    SettingsWindowTest t;
    WriteBytes(t.linksFile(), "\r\n\r\nZ\r\n");
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    for (const char* list : {"portList", "baudRateList", "parityList", "dataBitsList", "stopBitsList", "pcTerminatorList", "deviceTerminatorList", "handshakeList"})
        EXPECT_EQ(List(form, list)->currentIndex(), -1) << list;
    EXPECT_EQ(form.instrumentLinks()[0].Parity, "Z");
}

TEST(Settings, PathBoxAndFolderListFollowEachOtherWithoutBouncing) {
    SettingsWindowTest t;
    const std::string a = t.folder("a"), b = t.folder("a/b"), c = t.folder("c");
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QLineEdit* folderPathBox = Box(form, "folderPathBox");
    ziv::FolderList* dir1 = folderList_(form);

    // Typing a folder moves the list; the list does not write back.
    folderPathBox->clear();
    QTest::keyClicks(folderPathBox, QString::fromStdString(a + "/"));
    EXPECT_EQ(dir1->path().toStdString(), a);
    EXPECT_EQ(folderPathBox->text().toStdString(), a + "/");

    // Opening a folder in the list writes the box.
    ASSERT_TRUE(dir1->setPath(QString::fromStdString(b)));
    EXPECT_EQ(folderPathBox->text().toStdString(), b);

    // Text that names nothing or a file leaves the list where it is.
    WriteBytes(t.root / "f.txt", "x");
    folderPathBox->setText(QString::fromStdString(t.root / "nothing"));
    EXPECT_EQ(dir1->path().toStdString(), b);
    folderPathBox->setText(QString::fromStdString(t.root / "f.txt"));
    EXPECT_EQ(dir1->path().toStdString(), b);

    // The box naming the folder the list already shows sets no flag, so the
    // user's next opening in the list is still copied to the box.
    folderPathBox->setText(QString::fromStdString(b));
    ASSERT_TRUE(dir1->setPath(QString::fromStdString(c)));
    EXPECT_EQ(folderPathBox->text().toStdString(), c);
    dir1->goUp();
    EXPECT_EQ(folderPathBox->text().toStdString(), t.root.path());

    // And the user's next edit of the box still moves the list.
    folderPathBox->setText(QString::fromStdString(a));
    EXPECT_EQ(dir1->path().toStdString(), a);
}

TEST(Settings, StoredFolderIsShownEvenWhenItIsGone) {
    SettingsWindowTest t;
    const std::string kept = t.folder("kept");
    WriteBytes(t.folderFile(), ziv::ToCp932("/elsewhere\r\n\r\n" + kept + "/gone/deeper\r\n\r\n").value());
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    EXPECT_EQ(Shown(form, "folderPathBox"), kept + "/gone/deeper");
    EXPECT_EQ(folderList_(form)->path().toStdString(), kept);
    EXPECT_TRUE(t.messages.empty());
    // ... and "OK" refuses it until the user chooses a folder.
    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
    EXPECT_EQ(t.messages.size(), 1u);
}

TEST(Settings, ClosingByTheCloseBoxAlsoReportsClosedOnce) {
    SettingsWindowTest t;
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QSignalSpy closed(&form, &SettingsWindow::closed);
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(closed.count(), 1);
    form.show();
    form.close();
    EXPECT_EQ(closed.count(), 1);
}

namespace {

bool WarnedAbout(const SettingsWindowTest& t, const std::string& part) {
    for (const auto& m : t.messages)
        if (m.title == "ZIV - 警告" && m.text.toStdString().find(part) != std::string::npos) return true;
    return false;
}

}  // namespace

// RS232C.dat that exists but cannot be read holds the user's settings: the
// window says so and "OK" never writes the empty table shown over it.
TEST(Settings, UnreadableLinksFileIsReportedAndNeverWrittenOver) {
    SettingsWindowTest t;
    WriteBytes(t.linksFile(), DefaultFileBytes());
    const auto size = (std::uintmax_t(256) << 20) + 1;  // beyond what is read; sparse
    std::filesystem::resize_file(t.linksFile(), size);
    const std::string products = t.folder("製品");
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QSignalSpy closed(&form, &SettingsWindow::closed);
    EXPECT_TRUE(WarnedAbout(t, t.linksFile()));

    t.messages.clear();
    Box(form, "folderPathBox")->setText(QString::fromStdString(products));
    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
    EXPECT_TRUE(WarnedAbout(t, t.linksFile()));
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(std::filesystem::file_size(t.linksFile()), size);
}

// The gauge register is read and written through the disk the window was
// handed, as the links are: one it cannot read is reported and kept as it
// is, and one it cannot write keeps the window open with the file named.
TEST(Settings, GaugeRegisterGoesThroughTheHandedDisk) {
    SettingsWindowTest t;
    const std::string gaugesFile = ziv::GaugesFilePath(t.root.path());
    ziv::Gauges gauges{};
    gauges[0] = {"MC-0012", std::nullopt};
    ASSERT_TRUE(ziv::SaveGauges(gaugesFile, gauges));
    const std::string bytes = ReadBytes(gaugesFile);
    const std::string products = t.folder("製品");
    t.disk.reads = [&](const std::string& p) { return p == gaugesFile ? EIO : 0; };
    {
        SettingsWindow form(t.root.path(), t.dialogs, t.disk);
        QSignalSpy closed(&form, &SettingsWindow::closed);
        EXPECT_TRUE(WarnedAbout(t, gaugesFile));
        t.messages.clear();
        Box(form, "folderPathBox")->setText(QString::fromStdString(products));
        QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
        EXPECT_TRUE(WarnedAbout(t, gaugesFile));
        EXPECT_EQ(closed.count(), 0);
        EXPECT_EQ(ReadBytes(gaugesFile), bytes);
    }

    t.disk.reads = nullptr;
    t.disk.writes = [&](ziv::WriteStep step, const std::string& p) {
        return p == gaugesFile && step == ziv::WriteStep::Rename ? EIO : 0;
    };
    t.messages.clear();
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QSignalSpy closed(&form, &SettingsWindow::closed);
    EXPECT_TRUE(t.messages.empty());
    EXPECT_EQ(Shown(form, "gaugeNumberBox"), "MC-0012");
    Box(form, "folderPathBox")->setText(QString::fromStdString(products));
    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
    EXPECT_TRUE(WarnedAbout(t, gaugesFile));
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(ReadBytes(gaugesFile), bytes);
}

// A request text copied with its line end, pasted or set into a one-line box,
// must not add lines to RS232C.dat and shift every later field.
TEST(Settings, LineBreaksNeverReachTheLinksFile) {
    SettingsWindowTest t;
    const std::string products = t.folder("製品");
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    form.show();
    QSignalSpy closed(&form, &SettingsWindow::closed);

    QLineEdit* command = Box(form, "requestBox");
    command->selectAll();
    QGuiApplication::clipboard()->setText("R\r\n");
    command->paste();
    EXPECT_EQ(command->text(), "R");
    Box(form, "displayNameBox")->setText("ノギス\r\n2");
    EXPECT_EQ(Box(form, "displayNameBox")->text(), "ノギス");
    Box(form, "folderPathBox")->setText(QString::fromStdString(products + "\n"));
    EXPECT_EQ(Box(form, "folderPathBox")->text().toStdString(), products);

    QTest::mouseClick(Button(form, "okButton"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    std::vector<std::string> lines = FileLines(t.linksFile());
    ASSERT_EQ(lines.size(), 130u);
    EXPECT_EQ(lines[5], "R");
    EXPECT_EQ(lines[10], "ノギス");
    EXPECT_EQ(lines[12], "2");
    EXPECT_EQ(FileLines(t.folderFile()), std::vector<std::string>{products});

    // The writer refuses a broken field whoever hands it one.
    ziv::InstrumentLinks links = form.instrumentLinks();
    links[4].InputName = "M\nN";
    const std::string before = ReadBytes(t.linksFile());
    EXPECT_FALSE(ziv::SaveInstrumentLinks(t.linksFile(), links));
    EXPECT_EQ(ReadBytes(t.linksFile()), before);
}
