#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "platform/dialogs_qt.h"
#include "temp_root.h"

using namespace ziv;

namespace {

struct Answer {
    QString folder, text;
    bool* typed;
};

// Drives the real dialog once it is up: moves it to the folder, types the text
// into its name box and presses Enter. Gives up (rejects) after a few seconds.
// Each retry holds the answer itself, so nothing keeps it once done.
void TryAnswer(const std::shared_ptr<const Answer>& answer, int left) {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
        if (left > 0) QTimer::singleShot(50, [answer, left] { TryAnswer(answer, left - 1); });
        return;
    }
    dialog->setDirectory(answer->folder);
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (!name) {
        dialog->reject();
        return;
    }
    name->setFocus();
    name->insert(answer->text);  // as an input method commits it
    *answer->typed = true;
    QTest::keyClick(name, Qt::Key_Return);
    // Still open: walked into the folder instead of taking it.
    QTimer::singleShot(200, dialog, [dialog] {
        if (dialog->isVisible()) dialog->reject();
    });
}

void AnswerDialog(const QString& folder, const QString& text, bool* typed) {
    auto answer = std::make_shared<const Answer>(Answer{folder, text, typed});
    QTimer::singleShot(0, [answer] { TryAnswer(answer, 100); });
}

}  // namespace

// Registering an operator means typing the name of an existing folder in the
// save dialog: Enter must take that folder, not open it.
TEST(SaveDialog, TypedNameOfAnExistingFolderIsTaken) {
    TempRoot root;
    std::filesystem::create_directories(root / "検査/山田");
    bool typed = false;
    AnswerDialog(QString::fromStdString(root / "検査"), QString::fromUtf8("山田"), &typed);
    std::optional<ChosenFile> chosen = DesktopDialogs().AskSaveFile(nullptr, QString::fromUtf8("ユーザー登録"));
    ASSERT_TRUE(typed);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->FullPath.toStdString(), root / "検査/山田");
    EXPECT_EQ(chosen->Name, QString::fromUtf8("山田"));

    // A new name is taken as typed.
    typed = false;
    AnswerDialog(QString::fromStdString(root / "検査"), QString::fromUtf8("佐藤"), &typed);
    chosen = DesktopDialogs().AskSaveFile(nullptr, QString::fromUtf8("ユーザー作成"));
    ASSERT_TRUE(typed);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->FullPath.toStdString(), root / "検査/佐藤");
}
