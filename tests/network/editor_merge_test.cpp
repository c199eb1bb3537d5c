// The drawing editor's 「OK」 after another station designated a point of the
// same product: both points are saved and the editor shows both.
#include "../drawing/editor_fixture.h"
#include "drawing/drawing_views_qt.h"

using namespace ziv;
using namespace ziv::testing;

TEST_F(EditorTest, OkAfterAnotherStationDesignatedShowsAndKeepsBothPoints) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    // Point 7 designated on the other station, written straight into the share.
    std::string path = PointTableFilePath(host.productFolder);
    std::string bytes = ReadBytes(path);
    size_t at = 0;
    for (int line = 0; line < 3 * 7; ++line) at = bytes.find("\r\n", at) + 2;
    size_t end = bytes.find("\r\n", bytes.find("\r\n", bytes.find("\r\n", at) + 2) + 2) + 2;
    WriteBytes(path, bytes.substr(0, at) + " 7000\r\n 3500\r\n 5\r\n" + bytes.substr(end));
    // Point 4 designated here.
    host.rows[0] = 4;
    editor.currentPointChanged();
    editor.startDesignation();
    editor.overviewMouseDown(1, 0, 2000, 1000);
    editor.overviewMouseUp(1, 0, 2000, 1000);
    editor.confirmDesignation();
    EXPECT_TRUE(Texts().empty());
    PointTable onDisk;
    ASSERT_TRUE(ReadPointTable(path, onDisk));
    for (const PointTable* t : {static_cast<const PointTable*>(&onDisk), &editor.Table(0)}) {
        EXPECT_EQ(t->PosX[1], 6000);
        EXPECT_EQ(t->PosX[4], 2000);
        EXPECT_EQ(t->PosX[7], 7000);
        EXPECT_EQ(t->PosY[7], 3500);
        EXPECT_EQ(t->InstrumentIndex[7], 5);
    }
}
