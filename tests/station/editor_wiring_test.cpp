// The measurement window drives the drawing editor: the marker follows the
// input position, Ctrl zooms, registering loads a drawing and unregistering
// clears it.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QTest>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "drawing/drawing_views_qt.h"
#include "drawing/drawing_editor_ui.h"
#include "drawing/point_table.h"
#include "platform/folder_list_qt.h"
#include "platform/paths.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "children.h"

using namespace ziv;

namespace {

class EditorWiring : public StationFixture {
protected:
    std::unique_ptr<MeasurementWindow> form;
    std::string product;

    // A product with a drawing and points 1 and 2 placed with instruments 2 and 5.
    std::string MakeDrawnProduct(const std::string& name) {
        std::string folder = MakeProduct(name, {{"10", "0.1", "-0.1", ""}, {"20", "0.1", "-0.1", ""}});
        QImage drawing(900, 600, QImage::Format_RGB32);
        drawing.fill(Qt::white);
        EXPECT_TRUE(drawing.save(QString::fromStdString(folder + "/" + name + ".jpg"), "JPEG"));
        PointTable table;
        table.PosX[1] = 1500, table.PosY[1] = 1200, table.InstrumentIndex[1] = 2;
        table.PosX[2] = 6000, table.PosY[2] = 4500, table.InstrumentIndex[2] = 5;
        EXPECT_TRUE(SavePointTable(StationFiles(), PointTableFilePath(folder), table));
        return folder;
    }
    DrawingEditor& Start() {
        product = MakeDrawnProduct("A-100");
        Register({{0, product}});
        form = Open();
        EXPECT_TRUE(form);
        return *form->Editor();
    }
    static QPointF Marker(DrawingEditor& editor) {
        const auto& circles = Child<OverviewBox>(editor, "overview")->Circles();
        return circles.empty() ? QPointF(-1, -1) : circles.back().CentreTwips;
    }
};

}  // namespace

TEST_F(EditorWiring, TheMarkerFollowsTheInputPosition) {
    DrawingEditor& editor = Start();
    form->Grid(0)->SetRow(2);
    EXPECT_EQ(Child<QLineEdit>(*form, "inputPositionBox")->text().trimmed().toStdString(), "2");
    EXPECT_EQ(Marker(editor), QPointF(6000, 4500));
    EXPECT_EQ(Child<QLabel>(editor, "instrumentLabel")->text(), Child<QComboBox>(editor, "instrumentList")->itemText(5));
    form->Grid(0)->SetRow(1);
    EXPECT_EQ(Marker(editor), QPointF(1500, 1200));
    EXPECT_EQ(Child<QLabel>(editor, "instrumentLabel")->text(), Child<QComboBox>(editor, "instrumentList")->itemText(2));
    // A typed value moves the input position on, and the marker with it.
    Child<QLineEdit>(*form, "numberEntryBox")->setText("10");
    QTest::mouseClick(Child<QPushButton>(*form, "enterNumberButton"), Qt::LeftButton);
    EXPECT_EQ(Marker(editor), QPointF(6000, 4500));
}

TEST_F(EditorWiring, CtrlInTheMeasurementWindowZooms) {
    DrawingEditor& editor = Start();
    ASSERT_FALSE(editor.IsZoomed());
    Key(*form, Qt::Key_Control);
    EXPECT_TRUE(editor.IsZoomed());
    Key(*form, Qt::Key_Control);
    EXPECT_FALSE(editor.IsZoomed());
}

// Seen: Ctrl+A in the number box zoomed and took the keyboard, so the box kept
// its old text and 入力 recorded it.
TEST_F(EditorWiring, CtrlInABoxStaysWithTheBox) {
    DrawingEditor& editor = Start();
    auto* box = Child<QLineEdit>(*form, "numberEntryBox");
    box->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), box);
    auto send = [&](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
        QKeyEvent event(type, key, modifiers, text);
        QApplication::sendEvent(box, &event);
    };
    struct Case {
        const char* name;
        std::function<void()> keys;
    };
    const Case cases[] = {
        {"ctrl+a", [&] {
             send(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
             send(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "\x01");
             send(QEvent::KeyRelease, Qt::Key_A, Qt::ControlModifier, "\x01");
             send(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
         }},
        {"ctrl alone", [&] { Key(*form, Qt::Key_Control); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.keys();
        EXPECT_FALSE(editor.IsZoomed());
        EXPECT_EQ(QApplication::focusWidget(), box);
    }
    // Ctrl+A, then Ctrl alone from the grid: the second is a tap of its own.
    form->Grid(0)->setFocus();
    Key(*form, Qt::Key_Control);
    EXPECT_TRUE(editor.IsZoomed());
}

TEST_F(EditorWiring, RegisteringLoadsTheDrawingAndUnregisteringClearsIt) {
    DrawingEditor& editor = Start();
    std::string other = MakeDrawnProduct("B-200");
    ASSERT_TRUE(editor.HasDrawing(0));
    form->openProductPanel();
    form->unregisterProduct();
    EXPECT_FALSE(editor.HasDrawing(0));
    EXPECT_FALSE(editor.PointsLoaded(0));
    EXPECT_FALSE(editor.IsZoomButtonEnabled());
    EXPECT_FALSE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_TRUE(Child<QLabel>(editor, "instrumentLabel")->text().isEmpty());

    form->openProductPanel();
    ASSERT_TRUE(Child<FolderList>(*form, "folderList")->setPath(QString::fromStdString(other)));
    form->registerProduct();
    EXPECT_TRUE(editor.HasDrawing(0));
    EXPECT_EQ(editor.Drawing(0).size(), QSize(900, 600));
    EXPECT_TRUE(editor.PointsLoaded(0));
    EXPECT_TRUE(editor.IsZoomButtonEnabled());
    EXPECT_EQ(Marker(editor), QPointF(1500, 1200));
    // The export goes to the product now registered.
    editor.ExportInspectionDrawing();
    EXPECT_TRUE(FileExists(other + "/Data.jpg"));
    EXPECT_FALSE(FileExists(product + "/Data.jpg"));
}

// The drawing's read hangs, as on a share that does not answer: the window
// comes up without it and shows it, with its points, once the read ends.
TEST_F(EditorWiring, AHungDrawingReadIsShownWhenItEnds) {
    product = MakeDrawnProduct("A-100");
    Register({{0, product}});
    auto hung = std::make_shared<std::atomic<bool>>(true);
    const std::string image = product + "/A-100.jpg";
    disk.reads = [hung, image](const std::string& path) {
        while (path == image && *hung) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return 0;
    };
    form = Open();
    ASSERT_TRUE(form);
    DrawingEditor& editor = *form->Editor();
    EXPECT_FALSE(editor.HasDrawing(0));
    *hung = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.HasDrawing(0); }, 10000));
    EXPECT_TRUE(editor.PointsLoaded(0));
    EXPECT_EQ(Marker(editor), QPointF(1500, 1200));
    disk.reads = nullptr;
}
