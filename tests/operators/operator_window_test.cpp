#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "common/text_file.h"
#include "operators/operator_window_ui.h"
#include "recording_dialogs.h"
#include "temp_root.h"

using namespace ziv;

namespace {

struct OperatorWindowTest : ::testing::Test {
    TempRoot root;
    RecordingDialogs dialogs;
    std::vector<ShownMessage>& messages = dialogs.messages;
    std::optional<ChosenFile> answer;
    QString askedTitle;

    void SetUp() override {
        dialogs.answerSave = [this](const QString& title) {
            askedTitle = title;
            return answer;
        };
    }
    void Click(OperatorWindow& form, const char* name) {
        QTest::mouseClick(form.findChild<QPushButton*>(name), Qt::LeftButton);
    }
    std::string Users() { return FromCp932(ReadBytes(root / "Config/Users.dat")); }
    std::string Paths() { return FromCp932(ReadBytes(root / "Config/Path.dat")); }
};

}  // namespace

TEST_F(OperatorWindowTest, FirstStartCreatesConfigAndWritesNothingElse) {
    OperatorWindow form(dialogs, RealDisk());
    ASSERT_TRUE(form.startUp());
    EXPECT_EQ(form.savePath(), root.path());
    EXPECT_TRUE(std::filesystem::is_directory(root / "Config"));
    EXPECT_FALSE(FileExists(root / "Config/Users.dat"));
    EXPECT_EQ(form.operatorList()->count(), 0);
    QStringList captions;
    for (auto* b : form.findChildren<QPushButton*>()) captions << b->text();
    for (const char* c : {"決定", "終了", "新規作成", "新規登録", "削除", "設定"})
        EXPECT_TRUE(captions.contains(QString::fromUtf8(c))) << c;
}

TEST_F(OperatorWindowTest, SecondInstanceIsRefusedUntilTheFirstEnds) {
    {
        OperatorWindow first(dialogs, RealDisk());
        ASSERT_TRUE(first.startUp());
        OperatorWindow second(dialogs, RealDisk());
        EXPECT_FALSE(second.startUp());
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, QString::fromUtf8("既にプログラムは起動しています。"));
        EXPECT_EQ(messages[0].title, QString::fromUtf8("ZIV - 警告"));
        EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
    }
    OperatorWindow afterwards(dialogs, RealDisk());
    EXPECT_TRUE(afterwards.startUp());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(OperatorWindowTest, CreateRegisterDeleteKeepBothFilesInStep) {
    std::string base = root / "検査";
    std::filesystem::create_directories(base + "/佐藤");
    OperatorWindow form(dialogs, RealDisk());
    ASSERT_TRUE(form.startUp());

    answer = ChosenFile{QString::fromStdString(base + "/山田"), QString::fromUtf8("山田")};
    Click(form, "createButton");
    EXPECT_EQ(askedTitle, QString::fromUtf8("ユーザー作成"));
    EXPECT_TRUE(std::filesystem::is_directory(base + "/山田"));
    EXPECT_EQ(Users(), "山田\r\n");
    EXPECT_EQ(Paths(), base + "/山田\r\n");

    // Typed inside the folder: the repeated last part is stripped.
    answer = ChosenFile{QString::fromStdString(base + "/佐藤/佐藤"), QString::fromUtf8("佐藤")};
    Click(form, "registerButton");
    EXPECT_EQ(askedTitle, QString::fromUtf8("ユーザー登録"));
    answer = ChosenFile{QString::fromStdString(base + "/鈴木"), QString::fromUtf8("鈴木")};
    Click(form, "registerButton");
    EXPECT_FALSE(std::filesystem::exists(base + "/鈴木"));  // registering creates nothing
    EXPECT_EQ(Users(), "山田\r\n佐藤\r\n鈴木\r\n");
    EXPECT_EQ(Paths(), base + "/山田\r\n" + base + "/佐藤\r\n" + base + "/鈴木\r\n");

    answer.reset();  // a cancelled dialog changes nothing
    Click(form, "createButton");
    EXPECT_EQ(form.operatorList()->count(), 3);

    form.operatorList()->setCurrentRow(1);
    Click(form, "deleteButton");
    EXPECT_EQ(Users(), "山田\r\n鈴木\r\n");
    EXPECT_EQ(Paths(), base + "/山田\r\n" + base + "/鈴木\r\n");
    EXPECT_TRUE(std::filesystem::is_directory(base + "/佐藤"));

    form.operatorList()->setCurrentRow(0);
    Click(form, "deleteButton");
    form.operatorList()->setCurrentRow(0);
    Click(form, "deleteButton");
    EXPECT_EQ(ReadBytes(root / "Config/Users.dat"), "");
    EXPECT_EQ(ReadBytes(root / "Config/Path.dat"), "");
}

TEST_F(OperatorWindowTest, DecideNeedsASelectionAndHandsOverTheOperator) {
    WriteBytes(root / "Config/Users.dat", *ToCp932("山田\r\n\r\n佐藤\r\n"));
    WriteBytes(root / "Config/Path.dat", *ToCp932("/a/山田\r\n\r\n/a/佐藤\r\n"));
    OperatorWindow form(dialogs, RealDisk());
    ASSERT_TRUE(form.startUp());
    form.show();
    QSignalSpy decided(&form, &OperatorWindow::Decided);
    form.operatorList()->setCurrentRow(-1);
    Click(form, "decideButton");
    EXPECT_EQ(decided.count(), 0);
    form.operatorList()->setCurrentRow(1);
    Click(form, "decideButton");
    EXPECT_EQ(decided.count(), 1);
    EXPECT_EQ(form.userName(), "佐藤");
    EXPECT_EQ(form.userDir(), "/a/佐藤");
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.isEnabled());
}

TEST_F(OperatorWindowTest, SettingsHidesTheWindow) {
    OperatorWindow form(dialogs, RealDisk());
    ASSERT_TRUE(form.startUp());
    form.show();
    QSignalSpy settings(&form, &OperatorWindow::SettingsRequested);
    Click(form, "settingsButton");
    EXPECT_EQ(settings.count(), 1);
    EXPECT_FALSE(form.isVisible());
}

// Names and folders pair by line, and readers skip empty lines in each file on
// its own: an empty line written into Path.dat would give every later name
// another operator's folder after the next start.
TEST_F(OperatorWindowTest, ShortPathFileIsNeverPaddedWithEmptyLines) {
    WriteBytes(root / "Config/Users.dat", *ToCp932("山田\r\n佐藤\r\n鈴木\r\n"));
    WriteBytes(root / "Config/Path.dat", *ToCp932("/a/山田\r\n/a/佐藤\r\n"));
    std::string base = root / "検査";
    std::filesystem::create_directories(base);
    {
        OperatorWindow form(dialogs, RealDisk());
        ASSERT_TRUE(form.startUp());
        answer = ChosenFile{QString::fromStdString(base + "/田中"), QString::fromUtf8("田中")};
        Click(form, "createButton");
        EXPECT_EQ(Paths().find("\r\n\r\n"), std::string::npos) << Paths();
        form.operatorList()->setCurrentRow(3);  // 鈴木 has no folder
        Click(form, "decideButton");
        EXPECT_TRUE(form.userDir().empty());
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().title, QString::fromUtf8("ZIV - 警告"));
    }
    OperatorWindow again(dialogs, RealDisk());  // after a restart every name still has its own folder
    ASSERT_TRUE(again.startUp());
    const OperatorLists& lists = again.Operators();
    ASSERT_EQ(lists.Folders.size(), 3u);
    for (size_t i = 0; i < lists.Folders.size(); ++i)
        EXPECT_EQ(lists.Folders[i].substr(lists.Folders[i].rfind('/') + 1), lists.Names[i]) << i;
}

TEST_F(OperatorWindowTest, EmptyOrBrokenNamesAreRefusedAndNothingIsWritten) {
    std::string base = root / "検査";
    std::filesystem::create_directories(base + "/山田");
    OperatorWindow form(dialogs, RealDisk());
    ASSERT_TRUE(form.startUp());
    answer = ChosenFile{QString::fromStdString(base + "/山田"), QString::fromUtf8("山田")};
    Click(form, "registerButton");
    const std::string users = Users(), paths = Paths();

    for (auto [path, name] : {std::pair<std::string, std::string>{base + "/佐\r\n藤", "佐\r\n藤"},
                              {base + "/鈴木\n", "鈴木\n"},
                              {base + "/", ""}}) {
        messages.clear();
        answer = ChosenFile{QString::fromStdString(path), QString::fromStdString(name)};
        Click(form, "registerButton");
        Click(form, "createButton");
        EXPECT_EQ(messages.size(), 2u) << name;
        EXPECT_EQ(Users(), users);
        EXPECT_EQ(Paths(), paths);
    }
    EXPECT_FALSE(std::filesystem::exists(base + "/佐\r\n藤"));
    EXPECT_EQ(form.operatorList()->count(), 1);
    // The writer refuses on its own as well.
    OperatorLists broken = form.Operators();
    broken.Names.push_back("");
    broken.Folders.push_back(base + "/x");
    EXPECT_FALSE(SaveOperatorLists(root.path(), broken));
    EXPECT_EQ(Users(), users);
}

// The list makes its first row current when the window opens, without the
// user choosing it; only a selected operator may be deleted or chosen.
TEST_F(OperatorWindowTest, DeleteAndDecideActOnlyOnASelectedOperator) {
    WriteBytes(root / "Config/Users.dat", *ToCp932("山田\r\n佐藤\r\n"));
    WriteBytes(root / "Config/Path.dat", *ToCp932("/a/山田\r\n/a/佐藤\r\n"));
    OperatorWindow form(dialogs, RealDisk());
    ASSERT_TRUE(form.startUp());
    form.show();
    QApplication::setActiveWindow(&form);
    form.operatorList()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(form.operatorList()->selectedItems().isEmpty());
    QSignalSpy decided(&form, &OperatorWindow::Decided);
    Click(form, "deleteButton");
    Click(form, "decideButton");
    EXPECT_EQ(form.operatorList()->count(), 2);
    EXPECT_EQ(Users(), "山田\r\n佐藤\r\n");
    EXPECT_EQ(decided.count(), 0);
    EXPECT_TRUE(form.userName().empty());
    ASSERT_EQ(messages.size(), 1u) << "決定 with nobody chosen said nothing";
    EXPECT_EQ(messages[0].text, QString::fromUtf8("ユーザーを選択して下さい。"));

    QTest::mouseClick(form.operatorList()->viewport(), Qt::LeftButton, {},
                      form.operatorList()->visualItemRect(form.operatorList()->item(1)).center());
    Click(form, "deleteButton");
    EXPECT_EQ(Users(), "山田\r\n");
    // Enter on a name signs in.
    form.operatorList()->setCurrentRow(0);
    QTest::keyClick(form.operatorList(), Qt::Key_Return);
    EXPECT_EQ(decided.count(), 1);
    EXPECT_EQ(form.userName(), "山田");
}
