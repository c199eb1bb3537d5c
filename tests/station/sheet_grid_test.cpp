// A machine's sheet as the grid shows it: read from the sheet itself, one
// row per point, and the current row the operator moves.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "station/judgement_colours_qt.h"
#include "station/sheet_grid_qt.h"

using namespace ziv;

TEST(SheetGrid, ShowsTheSheetItselfRowByPoint) {
    MachineSheet sheet;
    SheetGrid grid(sheet);
    SheetModel& model = grid.Model();
    EXPECT_EQ(model.rowCount(), kLastPoint);
    EXPECT_EQ(model.columnCount(), MachineSheet::kColumns);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("測定値"));
    EXPECT_EQ(model.index(99, 0).data().toString(), "100");
    EXPECT_FALSE(model.index(0, 1).data().isValid());
    // Seen: 下限, 狙い and 補正 out of sight at 1920 x 1200. Every column holds
    // its title and a signed value, and all eight fit in well under the
    // width left beside the editor on a 1366 pixel wide screen.
    for (int c = 0; c < MachineSheet::kColumns; ++c) {
        QString title = model.headerData(c, Qt::Horizontal).toString();
        EXPECT_GE(grid.columnWidth(c), grid.horizontalHeader()->fontMetrics().horizontalAdvance(title)) << c;
    }
    EXPECT_GE(grid.columnWidth(5), grid.fontMetrics().horizontalAdvance("-000.000"));
    EXPECT_LE(grid.FullWidth(), 600);

    // What the sheet holds shows as soon as the sheet says which point changed.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    sheet.SetMaster(3, {"10", "0.02", "-0.01", ""});
    sheet.EnterValue(3, "10.05");
    sheet.JudgeRow(3);
    model.PointChanged(3);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex(), model.index(2, 0));
    EXPECT_EQ(changed[0][1].toModelIndex(), model.index(2, MachineSheet::kColumns - 1));
    EXPECT_EQ(model.index(2, 1).data().toString(), "10.05");
    EXPECT_EQ(model.index(2, 2).data().toString(), QString::fromUtf8("不"));
    EXPECT_EQ(model.index(2, 5).data().toString(), "-0.01");
    EXPECT_EQ(model.index(2, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    EXPECT_EQ(model.index(2, 1).data(Qt::BackgroundRole).value<QColor>(), kFailColour);
    EXPECT_FALSE(model.index(2, 3).data(Qt::BackgroundRole).isValid());
}

TEST(SheetGrid, CurrentRowTopRowAndTheChangeSignal) {
    MachineSheet sheet;
    SheetGrid grid(sheet);
    grid.resize(600, 300);
    grid.show();
    QSignalSpy changes(&grid, &SheetGrid::CurrentChanged);
    EXPECT_EQ(grid.Row(), 1);
    grid.SetRow(5);
    EXPECT_EQ(grid.Row(), 5);
    EXPECT_EQ(changes.count(), 1);
    grid.SetRow(5);  // no change, no signal
    grid.SetRow(0);
    grid.SetRow(kLastPoint + 1);
    EXPECT_EQ(grid.Row(), 5);
    EXPECT_EQ(changes.count(), 1);
    grid.SetTopRow(40);
    EXPECT_EQ(grid.TopRow(), 40);
    grid.SetTopRow(1);
    EXPECT_EQ(grid.TopRow(), 1);
    // The operator clicking a row moves the current row and says so.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(grid.Model().index(2, 0)).center());
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(changes.count(), 2);
    // Typed letters and the space bar do not move the row.
    grid.setFocus();
    QTest::keyClicks(&grid, "1 q");
    EXPECT_EQ(grid.Row(), 3);
}
