// Failures stand out in the grid: the colours follow the judgement texts
// wherever they come from, and never reach a file.
#include <QCheckBox>
#include <QDate>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <filesystem>

#include "common/text_file.h"
#include "station/judgement_colours_qt.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "children.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

class JudgementColours : public StationFixture {
protected:
    std::unique_ptr<MeasurementWindow> form;
    std::string product;

    void Start() {
        if (product.empty()) {
            product = MakeProduct("A-100", {{"10", "0.02", "-0.01", ""}, {"10", "0.02", "-0.01", ""},
                                            {"10", "0.02", "-0.01", ""}, {"10", "0.02", "-0.01", ""}});
            Register({{0, product}});
        }
        form = Open();
        ASSERT_TRUE(form);
        Child<QCheckBox>(*form, "autoAdvanceBox")->setChecked(false);
    }
    void Enter(int row, const char* number) {
        form->Grid(0)->SetRow(row);
        Child<QLineEdit>(*form, "numberEntryBox")->setText(number);
        QTest::mouseClick(Child<QPushButton>(*form, "enterNumberButton"), Qt::LeftButton);
    }
    QVariant Role(int point, int col, int role) { return form->Grid(0)->model()->index(point - 1, col).data(role); }
    void ExpectFail(int row) {
        for (int col : {1, 2}) {
            EXPECT_EQ(Role(row, col, Qt::BackgroundRole).value<QColor>(), kFailColour) << row << "," << col;
            EXPECT_EQ(Role(row, col, Qt::ForegroundRole).value<QColor>(), QColor(Qt::white)) << row << "," << col;
            EXPECT_TRUE(Role(row, col, Qt::FontRole).value<QFont>().bold()) << row << "," << col;
        }
    }
    void ExpectPass(int row) {
        EXPECT_EQ(Role(row, 2, Qt::BackgroundRole).value<QColor>(), kPassColour) << row;
        EXPECT_FALSE(Role(row, 1, Qt::BackgroundRole).isValid()) << row;
    }
    void ExpectPlain(int row) {
        for (int col : {1, 2}) EXPECT_FALSE(Role(row, col, Qt::BackgroundRole).isValid()) << row << "," << col;
    }
    std::string Book() {
        QDate d = QDate::currentDate();
        return product + "/data/" + userName + "_A-100_0号機_" +
               QString("%1年%2月%3日.xls").arg(d.year()).arg(d.month()).arg(d.day()).toStdString();
    }
};

// Machado, Oliveira and Fernandes (2009), deuteranopia at full severity, on linear RGB.
QColor AsDeuteranopeSees(const QColor& c) {
    auto lin = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    double r = lin(c.redF()), g = lin(c.greenF()), b = lin(c.blueF());
    double m[3][3] = {{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}};
    double out[3];
    for (int i = 0; i < 3; ++i) out[i] = std::clamp(m[i][0] * r + m[i][1] * g + m[i][2] * b, 0.0, 1.0);
    auto srgb = [](double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; };
    return QColor::fromRgbF(srgb(out[0]), srgb(out[1]), srgb(out[2]));
}

}  // namespace

TEST_F(JudgementColours, FollowTheJudgementAndSurviveARestart) {
    Start();
    Enter(1, "10.05");  // 不
    Enter(2, "10.01");  // 合
    ExpectFail(1);
    ExpectPass(2);
    ExpectPlain(3);
    // A pass entered over a failure, and a text that clears the judgement.
    form->Grid(0)->SetRow(1);
    form->startMeasuring();
    Key(*form, Qt::Key_F12);
    Key(*form, Qt::Key_Escape);
    ExpectPass(1);
    form->Grid(0)->SetRow(3);
    form->startMeasuring();
    Key(*form, Qt::Key_F11);
    Key(*form, Qt::Key_Escape);
    ExpectFail(3);
    Child<QLineEdit>(*form, "textEntryBox")->setText("傷");
    form->Grid(0)->SetRow(3);
    form->enterText();
    ExpectPlain(3);
    Enter(4, "9.98");  // 不, below the lower limit
    // The colours come back with the day workbook.
    form.reset();
    Start();
    ExpectPass(1);
    ExpectPass(2);
    ExpectPlain(3);
    ExpectFail(4);
}

TEST_F(JudgementColours, FilesHoldTheTextsOnly) {
    Start();
    Enter(1, "10.05");
    ASSERT_TRUE(form->DeliverWaiting(20000));
    auto cells = Dump(Book());
    EXPECT_EQ(cells, (std::vector<std::string>{"1,1,1=10", "1,1,2=0.02", "1,1,3=-0.01", "1,1,5=10.05", "1,1,6=不",
                                               "1,2,1=10", "1,2,2=0.02", "1,2,3=-0.01", "1,3,1=10", "1,3,2=0.02",
                                               "1,3,3=-0.01", "1,4,1=10", "1,4,2=0.02", "1,4,3=-0.01"}));
    const WorkDate& d = form->WorkingDate();
    std::string date = d.Year + "年" + d.Month + "月" + d.Day + "日";
    std::string rejection = productRoot + "/ＺＩＶログ/不合格記録/" + date + "_" + userName +
                            "_0号機_A-100_規格［10］_上限［0.02］_下限［-0.01］_実測値［10.05］.txt";
    EXPECT_EQ(ReadBytes(rejection), *ToCp932(date + "\r\n" + userName + "\r\n0号機\r\nA-100\r\n規格［10］\r\n"
                                                    "上限［0.02］\r\n下限［-0.01］\r\n実測値［10.05］"));
}

TEST_F(JudgementColours, ReadableForDeuteranopesAndWhileTheEditorIsInFront) {
    QColor fail = AsDeuteranopeSees(kFailColour), pass = AsDeuteranopeSees(kPassColour);
    double distance = std::hypot(fail.red() - pass.red(), fail.green() - pass.green(), fail.blue() - pass.blue());
    EXPECT_GT(distance, 100) << fail.name().toStdString() << " " << pass.name().toStdString();
    // White text on either keeps the contrast that small type needs (WCAG 4.5:1).
    auto luminance = [](const QColor& c) {
        auto lin = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    for (const QColor& c : {kFailColour, kPassColour}) EXPECT_GE(1.05 / (luminance(c) + 0.05), 4.5) << c.name().toStdString();

    Start();
    QPalette p = form->Grid(0)->palette();
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight), p.color(QPalette::Active, QPalette::Highlight));
}

TEST_F(JudgementColours, TheStateReadsFromAStepAway) {
    Start();
    auto centre = [&] {
        QImage shot = Child<QLabel>(*form, "stateLabel")->grab().toImage();
        return shot.pixelColor(4, shot.height() / 2);
    };
    QColor idle = centre();
    form->startMeasuring();
    QColor ready = centre();
    EXPECT_GT(ready.green(), ready.red() + 40) << ready.name().toStdString();
    EXPECT_GT(Child<QLabel>(*form, "stateLabel")->font().pointSizeF(), form->font().pointSizeF() * 1.5);
    Key(*form, Qt::Key_Escape);
    EXPECT_EQ(centre(), idle);
}
