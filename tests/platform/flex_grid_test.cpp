#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "platform/flex_grid_qt.h"

using namespace ziv;

namespace {
void Layout(FlexGrid& grid) {
    grid.SetRows(101);
    grid.SetCols(8);
    for (int c = 0; c < 8; ++c) {
        grid.SetColWidth(c, c == 0 ? 1000 : 1900);
        grid.SetColAlignment(c, 4);
    }
}
}  // namespace

TEST(FlexGrid, CellsHeaderRowAndClear) {
    FlexGrid grid;
    Layout(grid);
    EXPECT_EQ(grid.Rows(), 101);
    EXPECT_EQ(grid.Cols(), 8);
    EXPECT_EQ(grid.columnWidth(0), 1000 / 15);
    EXPECT_EQ(grid.TextMatrix(5, 3), "");
    grid.SetTextMatrix(0, 1, QString::fromUtf8("測定値"));
    grid.SetTextMatrix(100, 7, "-0.005");
    grid.SetTextMatrix(1, 1, "12.5");
    EXPECT_EQ(grid.TextMatrix(0, 1), QString::fromUtf8("測定値"));
    EXPECT_EQ(grid.TextMatrix(100, 7), "-0.005");
    EXPECT_EQ(grid.item(0, 1)->textAlignment(), int(Qt::AlignCenter));
    // Outside the grid: ignored on write, empty on read.
    grid.SetTextMatrix(101, 1, "x");
    grid.SetTextMatrix(1, 8, "x");
    EXPECT_EQ(grid.TextMatrix(101, 1), "");
    grid.SetTextMatrix(1, 1, "");
    EXPECT_EQ(grid.TextMatrix(1, 1), "");
    grid.SetTextMatrix(2, 2, "a");
    grid.Clear();
    EXPECT_EQ(grid.TextMatrix(0, 1), "");
    EXPECT_EQ(grid.TextMatrix(2, 2), "");
    EXPECT_EQ(grid.TextMatrix(100, 7), "");
    EXPECT_EQ(grid.Rows(), 101);
    EXPECT_EQ(grid.columnWidth(1), 1900 / 15);
}

TEST(FlexGrid, CurrentRowTopRowAndTheChangeEvent) {
    FlexGrid grid;
    Layout(grid);
    grid.resize(600, 300);
    grid.show();
    QSignalSpy changes(&grid, &FlexGrid::RowColChange);
    grid.SetRow(5);
    EXPECT_EQ(grid.Row(), 5);
    EXPECT_EQ(changes.count(), 1);
    grid.SetRow(5);  // no change, no event
    EXPECT_EQ(changes.count(), 1);
    grid.SetRow(0);  // the header row is never current
    grid.SetRow(101);
    EXPECT_EQ(grid.Row(), 5);
    grid.SetTopRow(40);
    EXPECT_EQ(grid.TopRow(), 40);
    grid.SetTopRow(1);
    EXPECT_EQ(grid.TopRow(), 1);
    // The user clicking a row moves the current row and raises the event.
    QRect cell = grid.visualItemRect(grid.item(2, 0) ? grid.item(2, 0) : (grid.SetTextMatrix(3, 0, "3"), grid.item(2, 0)));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(changes.count(), 2);
    // Typed letters and the space bar do not move the row.
    grid.setFocus();
    QTest::keyClicks(&grid, "1 q");
    EXPECT_EQ(grid.Row(), 3);
}
