// A save that cannot get the lock between stations keeps the value and
// writes it with the next save; runs on the local disk.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QLockFile>

#include "children.h"
#include "platform/file_lock.h"
#include "platform/paths.h"
#include "records/day_book.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "temp_root.h"
#include "workbook/workbook.h"

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
        // The writer waits for the lock; the window goes on.
        EXPECT_FALSE(form->DeliverWaiting(1500));
        EXPECT_FALSE(FileExists(book));
        EXPECT_EQ(Cell(*form, 1, 1), "10.01");
    }
    form->Grid(0)->SetRow(2);
    Child<QLineEdit>(*form, "numberEntryBox")->setText("10.005");
    form->enterNumber();
    ASSERT_TRUE(form->DeliverWaiting(60000));
    auto read = Workbook::Open(book);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->CellText(1, 1, 5), "10.01");
    EXPECT_EQ(read->CellText(1, 2, 5), "10.005");
    EXPECT_FALSE(FileExists(LockFilePath(book)));
}
