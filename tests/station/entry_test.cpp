#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/text_file.h"
#include "records/product_panel_ui.h"
#include "records/work_date_ui.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "children.h"

using namespace ziv;

namespace {

class Entry : public StationFixture {
protected:
    std::string product;
    std::unique_ptr<MeasurementWindow> form;

    void OpenWith(const std::vector<MasterPoint>& points, int machine = 0, const std::string& name = "A-100") {
        product = MakeProduct(name, points);
        Register({{machine, product}});
        form = Open();
        ASSERT_TRUE(form);
    }
    void Enter(const char* number) {
        Child<QLineEdit>(*form, "numberEntryBox")->setText(number);
        QTest::mouseClick(Child<QPushButton>(*form, "enterNumberButton"), Qt::LeftButton);
    }
};

const MasterPoint kPoint{"10", "0.02", "-0.01", "10"};

}  // namespace

TEST_F(Entry, MachineWithoutProductIgnoresEntries) {
    OpenWith({kPoint}, 1);  // machine 0 stays empty
    Key(*form, Qt::Key_F11);
    Key(*form, Qt::Key_F12);
    Enter("10");
    Child<QLineEdit>(*form, "textEntryBox")->setText("x");
    QTest::mouseClick(Child<QPushButton>(*form, "enterTextButton"), Qt::LeftButton);
    for (int c = 1; c <= 7; ++c) EXPECT_EQ(Cell(*form, 1, c), "") << c;
    EXPECT_EQ(form->SavedCount(), 0);
    EXPECT_TRUE(messages.empty());
    // Seen: 「測定可能」 while Space could read nothing.
    form->startMeasuring();
    EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "製品未登録");
    Type(*form, "w");
    EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "測定可能");
}

TEST_F(Entry, TheNumberStaysInTheBoxWithoutItsClearBox) {
    OpenWith({kPoint, kPoint});
    Child<QLineEdit>(*form, "numberEntryBox")->setFocus();
    QTest::keyClicks(Child<QLineEdit>(*form, "numberEntryBox"), "10.5");
    Child<QCheckBox>(*form, "clearNumberBox")->setChecked(false);
    QTest::mouseClick(Child<QPushButton>(*form, "enterNumberButton"), Qt::LeftButton);
    EXPECT_EQ(Child<QLineEdit>(*form, "numberEntryBox")->text().toStdString(), "10.5");
    QTest::mouseClick(Child<QPushButton>(*form, "enterNumberButton"), Qt::LeftButton);
    EXPECT_EQ(Cell(*form, 1, 1), "10.5");
    EXPECT_EQ(Cell(*form, 2, 1), "10.5");
    Child<QCheckBox>(*form, "clearNumberBox")->setChecked(true);
    QTest::mouseClick(Child<QPushButton>(*form, "enterNumberButton"), Qt::LeftButton);
    EXPECT_TRUE(Child<QLineEdit>(*form, "numberEntryBox")->text().isEmpty());
}

// Seen: the box dropped what it would not take, so "12,06" was entered as
// 1206. It keeps what was typed; 入力 names the typo and records nothing.
TEST_F(Entry, ATypoInTheNumberBoxIsRefusedByName) {
    OpenWith({kPoint});
    QLineEdit* box = Child<QLineEdit>(*form, "numberEntryBox");
    box->setFocus();
    QTest::keyClicks(box, "12,06");
    QTest::mouseClick(Child<QPushButton>(*form, "enterNumberButton"), Qt::LeftButton);
    EXPECT_EQ(box->text().toStdString(), "12,06");
    EXPECT_EQ(Messages(), std::vector<std::string>{"「手動数値入力」の \"12,06\" は数値ではないため、入力していません。"});
    EXPECT_EQ(Cell(*form, 1, 1), "");
    EXPECT_EQ(form->SavedCount(), 0);
}

TEST_F(Entry, MeasuringModeControlsAndKeys) {
    std::string b = MakeProduct("B", {kPoint});
    OpenWith({kPoint});
    Register({{0, product}, {1, b}});
    form.reset();
    form = Open();
    ASSERT_TRUE(form);
    // Outside measuring mode: Esc and q do nothing.
    Key(*form, Qt::Key_Escape);
    Type(*form, "q");
    Type(*form, "w");
    EXPECT_EQ(form->ShownMachine(), 0);
    QTest::mouseClick(Child<QPushButton>(*form, "startButton"), Qt::LeftButton);
    EXPECT_TRUE(form->Measuring());
    EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "測定可能");
    for (QWidget* w : {static_cast<QWidget*>(Child<QPushButton>(*form, "startButton")), static_cast<QWidget*>(Child<QPushButton>(*form, "enterNumberButton")),
                       static_cast<QWidget*>(Child<QCheckBox>(*form, "autoAdvanceBox")), static_cast<QWidget*>(Child<QGroupBox>(*form, "numberEntryPanel")),
                       static_cast<QWidget*>(Child<WorkDatePanel>(*form, "datePanel"))})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    Type(*form, "W");
    EXPECT_EQ(form->ShownMachine(), 0);
    Type(*form, "w");
    EXPECT_EQ(form->ShownMachine(), 1);
    EXPECT_EQ(Child<QLineEdit>(*form, "machineBox")->text().toStdString(), "1号機");
    EXPECT_EQ(Child<QLineEdit>(*form, "productNameBox")->text().toStdString(), "B");
    Type(*form, "q");
    EXPECT_EQ(form->ShownMachine(), 0);
    Key(*form, Qt::Key_F3);
    EXPECT_EQ(form->CurrentKey(), 3);
    Key(*form, Qt::Key_Escape);
    EXPECT_FALSE(form->Measuring());
    EXPECT_TRUE(Child<QPushButton>(*form, "startButton")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*form, "searchButton")->isEnabled());
    EXPECT_TRUE(Child<QLabel>(*form, "stateLabel")->text().isEmpty());
}

// Seen: nothing told that the part was done, and 「自動」 went on past it.
TEST_F(Entry, TheStateSaysWhenEveryPointOfThePartIsMeasured) {
    OpenWith({kPoint, kPoint});
    form->startMeasuring();
    Key(*form, Qt::Key_F12);
    EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "測定可能");
    Key(*form, Qt::Key_F12);
    EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "全点測定済み");
    EXPECT_EQ(form->Grid(0)->Row(), 2);
}

TEST_F(Entry, SearchFindsTheFirstEmptyPointAndAutoOffKeepsThePosition) {
    OpenWith({kPoint, kPoint, kPoint});
    Enter("10");
    Enter("10");
    EXPECT_EQ(form->Grid(0)->Row(), 3);
    form->Grid(0)->SetRow(1);
    EXPECT_EQ(Child<QLineEdit>(*form, "inputPositionBox")->text().toStdString(), " 1");
    QTest::mouseClick(Child<QPushButton>(*form, "searchButton"), Qt::LeftButton);
    EXPECT_EQ(form->Grid(0)->Row(), 3);
    Child<QCheckBox>(*form, "autoAdvanceBox")->click();
    EXPECT_FALSE(Child<QPushButton>(*form, "searchButton")->isEnabled());
    // Seen: the box kept machine 0's point when machine 1 was shown.
    form->ShowMachine(1);
    EXPECT_EQ(Child<QLineEdit>(*form, "inputPositionBox")->text().toStdString(), " 1");
    form->ShowMachine(0);
    EXPECT_EQ(Child<QLineEdit>(*form, "inputPositionBox")->text().toStdString(), " 3");
    form->Grid(0)->SetRow(1);
    Enter("10.001");
    EXPECT_EQ(form->Grid(0)->Row(), 1);
    EXPECT_EQ(Cell(*form, 1, 1), "10.001");
}

