#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "form2_support.h"
#include "platform/folder_list_qt.h"

using ziv::Form2;

namespace {

const std::string kDefaultRecordBytes =
    "1\r\n4800\r\nN\r\n8\r\n2\r\n1\r\n1\r\n1\r\n5\r\n8\r\n\x83\x7d\x83\x43\x83\x4e\x83\x8d\r\nM\r\n2\r\n";

std::string DefaultFileBytes() {
    std::string bytes;
    for (int key = 0; key < 10; ++key) bytes += kDefaultRecordBytes;
    return bytes;
}

ziv::FolderList* Dir1(Form2& form) { return form.findChild<ziv::FolderList*>("Dir1"); }

}  // namespace

TEST(Form2Settings, FirstOpeningCreatesBothFilesShowsF1AndKeepsThemAfterCancel) {
    Form2Test t;
    ziv::RemoveFile(t.root / "Config");  // not even the folder yet
    Form2 form(t.root.path());
    QSignalSpy closed(&form, &Form2::closed);

    EXPECT_EQ(ReadBytes(t.linksFile()), DefaultFileBytes());
    EXPECT_EQ(ReadBytes(t.folderFile()), t.home + "\r\n");
    EXPECT_TRUE(t.messages.empty());

    EXPECT_EQ(form.windowTitle(), "ZIV");
    EXPECT_EQ(Control<QGroupBox>(form, "Frame2")->title(), "F1キー");
    EXPECT_EQ(Shown(form, "Combo1"), "F1キー");
    const std::pair<const char*, const char*> f1[] = {
        {"Combo7", "１"}, {"Combo2", "４８００"}, {"Combo3", "なし"}, {"Combo4", "８"},   {"Combo5", "２"},
        {"Text3", "1"},   {"Combo6", "ＣＲ"},     {"Combo8", "ＣＲ"}, {"Text4", "5"},     {"Text5", "8"},
        {"Text1", "マイクロ"}, {"Text2", "M"},    {"Combo9", "ＲＴＳ"}, {"Text6", t.home.c_str()}};
    for (auto [control, text] : f1) EXPECT_EQ(Shown(form, control), text) << control;
    EXPECT_EQ(Dir1(form)->path().toStdString(), t.home);

    QTest::mouseClick(Button(form, "Command2"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(ReadBytes(t.linksFile()), DefaultFileBytes());
    EXPECT_EQ(ReadBytes(t.folderFile()), t.home + "\r\n");
}

TEST(Form2Settings, RateChosenForF3IsKeptApartFromF1AndWrittenByOk) {
    Form2Test t;
    Form2 form(t.root.path());
    QSignalSpy closed(&form, &Form2::closed);
    QComboBox* keys = List(form, "Combo1");

    keys->setCurrentIndex(2);
    EXPECT_EQ(Control<QGroupBox>(form, "Frame2")->title(), "F3キー");
    List(form, "Combo2")->setCurrentIndex(6);
    EXPECT_EQ(Shown(form, "Combo2"), "９６００");
    keys->setCurrentIndex(0);
    EXPECT_EQ(Shown(form, "Combo2"), "４８００");
    keys->setCurrentIndex(2);
    EXPECT_EQ(Shown(form, "Combo2"), "９６００");
    QTest::keyClicks(Box(form, "Text1"), "-2");
    // Other lists of F3: what is shown against what is stored.
    List(form, "Combo3")->setCurrentIndex(0);
    List(form, "Combo5")->setCurrentIndex(1);
    List(form, "Combo7")->setCurrentIndex(14);
    List(form, "Combo8")->setCurrentIndex(2);
    List(form, "Combo9")->setCurrentIndex(1);
    EXPECT_EQ(Shown(form, "Combo3"), "偶数");
    EXPECT_EQ(Shown(form, "Combo5"), "１．５");
    EXPECT_EQ(Shown(form, "Combo7"), "１５");
    EXPECT_EQ(Shown(form, "Combo8"), "ＣＲ　ＬＦ");
    EXPECT_EQ(Shown(form, "Combo9"), "ＸＯｎＸＯｆｆ");

    const std::string products = t.folder("製品");
    Box(form, "Text6")->setText(QString::fromStdString(products));
    QTest::mouseClick(Button(form, "Command1"), Qt::LeftButton);

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

TEST(Form2Settings, CancelAfterEditsLeavesTheFilesAsTheyWere) {
    Form2Test t;
    WriteBytes(t.linksFile(), DefaultFileBytes() + "extra line\r\n");
    WriteBytes(t.folderFile(), t.home + "\r\n");
    Form2 form(t.root.path());
    QSignalSpy closed(&form, &Form2::closed);
    List(form, "Combo2")->setCurrentIndex(0);
    Box(form, "Text1")->setText("ノギス");
    List(form, "Combo1")->setCurrentIndex(9);
    Box(form, "Text4")->setText("3");
    Box(form, "Text6")->setText(QString::fromStdString(t.folder("other")));

    QTest::mouseClick(Button(form, "Command2"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(ReadBytes(t.linksFile()), DefaultFileBytes() + "extra line\r\n");
    EXPECT_EQ(ReadBytes(t.folderFile()), t.home + "\r\n");
}

TEST(Form2Settings, OkRefusesAFolderThatIsNotThereAndWritesNothing) {
    Form2Test t;
    Form2 form(t.root.path());
    form.show();
    QSignalSpy closed(&form, &Form2::closed);
    List(form, "Combo2")->setCurrentIndex(0);
    const std::string linksBefore = ReadBytes(t.linksFile());
    const std::string folderBefore = ReadBytes(t.folderFile());
    WriteBytes(t.root / "a-file", "x");

    for (std::string path : {t.root / "missing", std::string(), t.root / "a-file"}) {
        t.messages.clear();
        Box(form, "Text6")->setText(QString::fromStdString(path));
        QTest::mouseClick(Button(form, "Command1"), Qt::LeftButton);
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

TEST(Form2Settings, OkThatCannotWriteShowsTheFolderMessageAndStaysOpen) {
    Form2Test t;
    Form2 form(t.root.path());
    QSignalSpy closed(&form, &Form2::closed);
    ziv::SetWriteFaultHook([](ziv::WriteStep step, const std::string&) { return step == ziv::WriteStep::Rename ? EIO : 0; });
    Box(form, "Text6")->setText(QString::fromStdString(t.folder("p")));
    QTest::mouseClick(Button(form, "Command1"), Qt::LeftButton);
    ziv::SetWriteFaultHook(nullptr);
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_TRUE(t.messages[0].text.startsWith("製品フォルダの設定が正しくありません。\n"));
    EXPECT_TRUE(t.messages[0].text.contains(QString::fromStdString(t.folderFile())));
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(ReadBytes(t.folderFile()), t.home + "\r\n");
}

TEST(Form2Settings, ValuesOutsideTheListsAndShortFilesAreKeptAsStored) {
    Form2Test t;
    // F1 default, F2 with codes no list holds, nothing for F3 to F10.
    std::string f2 = "99\r\n4800\r\nX\r\n8\r\n2\r\nREQ\r\n9\r\n1\r\n5\r\n8\r\nA\r\nB\r\n2\r\n";
    WriteBytes(t.linksFile(), kDefaultRecordBytes + f2);
    Form2 form(t.root.path());
    List(form, "Combo1")->setCurrentIndex(1);
    EXPECT_EQ(Shown(form, "Combo7"), "１");    // the list stays where F1 left it
    EXPECT_EQ(Shown(form, "Combo3"), "なし");
    EXPECT_EQ(Shown(form, "Combo6"), "ＣＲ");
    EXPECT_EQ(Shown(form, "Text3"), "REQ");
    List(form, "Combo1")->setCurrentIndex(2);
    EXPECT_EQ(Shown(form, "Text1"), "");
    EXPECT_EQ(form.instrumentLinks()[1].PortNumber, "99");
    EXPECT_EQ(form.instrumentLinks()[1].Parity, "X");
    EXPECT_EQ(form.instrumentLinks()[1].PcTerminator, "9");
    EXPECT_EQ(form.instrumentLinks()[2], ziv::InstrumentLink{});

    Box(form, "Text6")->setText(QString::fromStdString(t.home));
    QTest::mouseClick(Button(form, "Command1"), Qt::LeftButton);
    std::string expected = kDefaultRecordBytes + f2;
    for (int i = 0; i < 8 * 13; ++i) expected += "\r\n";
    EXPECT_EQ(ReadBytes(t.linksFile()), expected);
}

TEST(Form2Settings, FirstShownRecordWithUnknownCodesLeavesTheListsEmpty) {
    Form2Test t;
    WriteBytes(t.linksFile(), "\r\n\r\nZ\r\n");
    Form2 form(t.root.path());
    for (const char* list : {"Combo7", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6", "Combo8", "Combo9"})
        EXPECT_EQ(List(form, list)->currentIndex(), -1) << list;
    EXPECT_EQ(form.instrumentLinks()[0].Parity, "Z");
}

TEST(Form2Settings, PathBoxAndFolderListFollowEachOtherWithoutBouncing) {
    Form2Test t;
    const std::string a = t.folder("a"), b = t.folder("a/b"), c = t.folder("c");
    Form2 form(t.root.path());
    QLineEdit* text6 = Box(form, "Text6");
    ziv::FolderList* dir1 = Dir1(form);

    // Typing a folder moves the list; the list does not write back.
    text6->clear();
    QTest::keyClicks(text6, QString::fromStdString(a + "/"));
    EXPECT_EQ(dir1->path().toStdString(), a);
    EXPECT_EQ(text6->text().toStdString(), a + "/");

    // Opening a folder in the list writes the box.
    ASSERT_TRUE(dir1->setPath(QString::fromStdString(b)));
    EXPECT_EQ(text6->text().toStdString(), b);

    // Text that names nothing or a file leaves the list where it is.
    WriteBytes(t.root / "f.txt", "x");
    text6->setText(QString::fromStdString(t.root / "nothing"));
    EXPECT_EQ(dir1->path().toStdString(), b);
    text6->setText(QString::fromStdString(t.root / "f.txt"));
    EXPECT_EQ(dir1->path().toStdString(), b);

    // The box naming the folder the list already shows sets no flag, so the
    // user's next opening in the list is still copied to the box.
    text6->setText(QString::fromStdString(b));
    ASSERT_TRUE(dir1->setPath(QString::fromStdString(c)));
    EXPECT_EQ(text6->text().toStdString(), c);
    dir1->goUp();
    EXPECT_EQ(text6->text().toStdString(), t.root.path());

    // And the user's next edit of the box still moves the list.
    text6->setText(QString::fromStdString(a));
    EXPECT_EQ(dir1->path().toStdString(), a);
}

TEST(Form2Settings, StoredFolderIsShownEvenWhenItIsGone) {
    Form2Test t;
    const std::string kept = t.folder("kept");
    WriteBytes(t.folderFile(), ziv::ToCp932("/elsewhere\r\n\r\n" + kept + "/gone/deeper\r\n\r\n").value());
    Form2 form(t.root.path());
    EXPECT_EQ(Shown(form, "Text6"), kept + "/gone/deeper");
    EXPECT_EQ(Dir1(form)->path().toStdString(), kept);
    EXPECT_TRUE(t.messages.empty());
    // ... and "OK" refuses it until the user chooses a folder.
    QTest::mouseClick(Button(form, "Command1"), Qt::LeftButton);
    EXPECT_EQ(t.messages.size(), 1u);
}

TEST(Form2Settings, ClosingByTheCloseBoxAlsoReportsClosedOnce) {
    Form2Test t;
    Form2 form(t.root.path());
    QSignalSpy closed(&form, &Form2::closed);
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(closed.count(), 1);
    form.show();
    form.close();
    EXPECT_EQ(closed.count(), 1);
}

namespace {

bool WarnedAbout(const Form2Test& t, const std::string& part) {
    for (const auto& m : t.messages)
        if (m.title == "ZIV - 警告" && m.text.toStdString().find(part) != std::string::npos) return true;
    return false;
}

}  // namespace

// RS232C.dat that exists but cannot be read holds the user's settings: the
// window says so and "OK" never writes the empty table shown over it.
TEST(Form2Settings, UnreadableLinksFileIsReportedAndNeverWrittenOver) {
    Form2Test t;
    WriteBytes(t.linksFile(), DefaultFileBytes());
    const auto size = (std::uintmax_t(256) << 20) + 1;  // beyond what is read; sparse
    std::filesystem::resize_file(t.linksFile(), size);
    const std::string products = t.folder("製品");
    Form2 form(t.root.path());
    QSignalSpy closed(&form, &Form2::closed);
    EXPECT_TRUE(WarnedAbout(t, t.linksFile()));

    t.messages.clear();
    Box(form, "Text6")->setText(QString::fromStdString(products));
    QTest::mouseClick(Button(form, "Command1"), Qt::LeftButton);
    EXPECT_TRUE(WarnedAbout(t, t.linksFile()));
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(std::filesystem::file_size(t.linksFile()), size);
}

// A request text copied with its line end, pasted or set into a one-line box,
// must not add lines to RS232C.dat and shift every later field.
TEST(Form2Settings, LineBreaksNeverReachTheLinksFile) {
    Form2Test t;
    const std::string products = t.folder("製品");
    Form2 form(t.root.path());
    form.show();
    QSignalSpy closed(&form, &Form2::closed);

    QLineEdit* command = Box(form, "Text3");
    command->selectAll();
    QGuiApplication::clipboard()->setText("R\r\n");
    command->paste();
    EXPECT_EQ(command->text(), "R");
    Box(form, "Text1")->setText("ノギス\r\n2");
    EXPECT_EQ(Box(form, "Text1")->text(), "ノギス");
    Box(form, "Text6")->setText(QString::fromStdString(products + "\n"));
    EXPECT_EQ(Box(form, "Text6")->text().toStdString(), products);

    QTest::mouseClick(Button(form, "Command1"), Qt::LeftButton);
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
