// A save that cannot get the lock between stations keeps the value and
// writes it with the next save; runs on the local disk.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QLockFile>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_lock.h"
#include "platform/flex_grid_qt.h"
#include "platform/paths.h"
#include "platform/workbook.h"
#include "records/day_book.h"
#include "station_fixture.h"
#include "children.h"
#include "temp_root.h"

using namespace ziv;

class BusyLock : public StationFixture {};

TEST_F(BusyLock, SaveWhileAnotherStationHoldsTheLockKeepsTheValueForTheNextSave) {
    std::string product = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}, {"10", "0.02", "-0.01", "10"}});
    Register({{0, product}});
    auto form = Open();
    ASSERT_TRUE(form);
    Child<QCheckBox>(*form, "autoAdvanceBox")->setChecked(false);
    std::string book = DayBookPath(product, userName, "A-100", 0, form->WorkingDate());
    {
        // Held as another station would hold it (a live holder on this computer).
        ASSERT_TRUE(MakeFolders(DayBookFolder(product)));
        QLockFile other(QString::fromStdString(LockFilePath(book)));
        ASSERT_TRUE(other.tryLock(0));
        form->Grid(0)->SetRow(1);
        Child<QLineEdit>(*form, "numberEntryBox")->setText("10.01");
        form->enterNumber();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].title.toStdString(), "ZIV - 警告");
        EXPECT_NE(messages[0].text.toStdString().find(book), std::string::npos) << messages[0].text.toStdString();
        EXPECT_FALSE(FileExists(book));
        EXPECT_EQ(Cell(*form, 1, 1), "10.01");
    }
    form->Grid(0)->SetRow(2);
    Child<QLineEdit>(*form, "numberEntryBox")->setText("10.005");
    form->enterNumber();
    EXPECT_EQ(messages.size(), 1u);
    auto read = Workbook::Open(book);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->CellText(1, 1, 5), "10.01");
    EXPECT_EQ(read->CellText(1, 2, 5), "10.005");
    EXPECT_FALSE(FileExists(LockFilePath(book)));
}

// A station killed while it took over a dead station's lock leaves that lock
// (naming a process that is gone) and QLockFile's empty "<lock>.rmlock"; the
// next save still gets the lock within its wait instead of failing as busy.
TEST(LeftLocks, LockOfADeadStationUnderAnEmptyRemovalLockIsTaken) {
    TempRoot root;
    std::string file = root / "Directory.dat";
    QString lockPath = QString::fromStdString(LockFilePath(file));
    QByteArray details;
    {
        QLockFile mine(lockPath);
        ASSERT_TRUE(mine.tryLock(0));
        QFile written(lockPath);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        details = written.readAll();
    }
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    details = QByteArray::number(gone) + details.mid(details.indexOf('\n'));
    QFile left(lockPath), removal(lockPath + ".rmlock");
    ASSERT_TRUE(left.open(QIODevice::WriteOnly) && left.write(details) == details.size());
    left.close();
    ASSERT_TRUE(removal.open(QIODevice::WriteOnly));
    removal.close();

    auto hold = LockSharedFile(file);
    ASSERT_TRUE(hold);
    EXPECT_FALSE(removal.exists());
    hold.reset();
    EXPECT_FALSE(QFile::exists(lockPath));
}
