#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "platform/file_dialog_qt.h"
#include "temp_root.h"

using namespace ziv;

namespace {

// Drives the real dialog once it is up: moves it to folder, types text into
// its name box and presses Enter. Gives up (rejects) after a few seconds.
void AnswerDialog(const QString& folder, const QString& text, bool* typed) {
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [=](int left) {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (left > 0) QTimer::singleShot(50, [=] { (*attempt)(left - 1); });
            return;
        }
        dialog->setDirectory(folder);
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!name) {
            dialog->reject();
            return;
        }
        name->setFocus();
        name->insert(text);  // as an input method commits it
        *typed = true;
        QTest::keyClick(name, Qt::Key_Return);
        // Still open: walked into the folder instead of taking it.
        QTimer::singleShot(200, dialog, [dialog] {
            if (dialog->isVisible()) dialog->reject();
        });
    };
    QTimer::singleShot(0, [=] { (*attempt)(100); });
}

}  // namespace

// Registering an operator means typing the name of an existing folder in the
// save dialog: Enter must take that folder, not open it.
TEST(SaveDialog, TypedNameOfAnExistingFolderIsTaken) {
    TempRoot root;
    std::filesystem::create_directories(root / "検査/山田");
    bool typed = false;
    AnswerDialog(QString::fromStdString(root / "検査"), QString::fromUtf8("山田"), &typed);
    std::optional<ChosenFile> chosen = AskSaveFile(nullptr, QString::fromUtf8("ユーザー登録"));
    ASSERT_TRUE(typed);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->FullPath.toStdString(), root / "検査/山田");
    EXPECT_EQ(chosen->Name, QString::fromUtf8("山田"));

    // A new name is taken as typed.
    typed = false;
    AnswerDialog(QString::fromStdString(root / "検査"), QString::fromUtf8("佐藤"), &typed);
    chosen = AskSaveFile(nullptr, QString::fromUtf8("ユーザー作成"));
    ASSERT_TRUE(typed);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->FullPath.toStdString(), root / "検査/佐藤");
}
