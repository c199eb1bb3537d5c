#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QDate>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
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

// The dialog's details speak Japanese like the rest of it: a folder's type,
// a file's size and its date as a Japanese reader writes them.
TEST(SaveDialog, DetailsOfFilesAndFoldersAreInJapanese) {
    TempRoot root;
    std::filesystem::create_directories(root / "検査/山田");
    {
        std::ofstream(root / "検査/記録.txt") << std::string(143, 'x');
    }
    std::map<QString, QStringList> rows;  // name -> size, type, date
    std::function<void(int)> look = [&](int left) {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* view = dialog ? dialog->findChild<QTreeView*>("treeView") : nullptr;
        if (view && view->model()->rowCount(view->rootIndex()) == 2) {
            for (int r = 0; r < 2; ++r) {
                QStringList cells;
                for (int c = 1; c <= 3; ++c) cells << view->model()->index(r, c, view->rootIndex()).data().toString();
                rows[view->model()->index(r, 0, view->rootIndex()).data().toString()] = cells;
            }
        }
        if (dialog && (!rows.empty() || left == 0)) dialog->reject();
        else if (left > 0) QTimer::singleShot(50, [&look, left] { look(left - 1); });
        if (dialog && rows.empty() && left > 0) dialog->setDirectory(QString::fromStdString(root / "検査"));
    };
    QTimer::singleShot(0, [&look] { look(100); });
    static_cast<void>(DesktopDialogs().AskSaveFile(nullptr, QString::fromUtf8("ユーザー作成")));
    ASSERT_EQ(rows.size(), 2u);
    const QStringList folder = rows[QString::fromUtf8("山田")], file = rows[QString::fromUtf8("記録.txt")];
    EXPECT_EQ(folder.value(1), QString::fromUtf8("フォルダー"));
    EXPECT_EQ(file.value(0), QString::fromUtf8("143 バイト"));
    EXPECT_EQ(file.value(1), QString::fromUtf8("TXT ファイル"));
    EXPECT_TRUE(file.value(2).startsWith(QDate::currentDate().toString("yyyy/MM/dd"))) << file.value(2).toStdString();
}
