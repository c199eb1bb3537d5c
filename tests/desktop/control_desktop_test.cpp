// A drift at the machine under fixed control limits, on the real desktop: the
// state label turns amber, the chart and the journal show the signal while
// every value still passes, a reaction is recorded with Ctrl+R, and the
// report's control chart shows both.
#include <QDate>

#include "desktop_fixture.h"
#include "report/fixed_limits.h"

using namespace desktop;

namespace {

ziv::WorkDate WorkDateOf(const QDate& d) {
    return {std::to_string(d.year()), std::to_string(d.month()), std::to_string(d.day())};
}

ziv::Day DayOf(const QDate& d) {
    return ziv::Day{std::chrono::year(d.year()), std::chrono::month(static_cast<unsigned>(d.month())),
                    std::chrono::day(static_cast<unsigned>(d.day()))};
}

// The journal entries of today's journals of every station but `other`.
std::vector<ziv::JournalEntry> OwnJournal(const QString& folder, const QString& other) {
    std::vector<ziv::JournalEntry> entries;
    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    for (const QString& name : QDir(folder).entryList({"journal_" + today + "_*.csv"}, QDir::Files)) {
        if (name.contains(other)) continue;
        for (ziv::JournalEntry& e : ziv::ReadJournal((folder + "/" + name).toStdString()).entries)
            entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace

class ControlDesktop : public Desktop {
protected:
    // Point 1 of the flange: 10 +0.02/-0.02, fixed limits 10 ± 0.006, and
    // five rising values of the days before, taken at another station.
    void PrepareDrift() {
        const std::string product = product_.toStdString(), name = QDir(product_).dirName().toStdString();
        auto master = ziv::Workbook::Open(ziv::MasterBookPath(product));
        ASSERT_TRUE(master);
        const char* limits[] = {"10", "0.02", "-0.02", "10"};
        for (int c = 1; c <= 4; ++c) master->SetCell(1, 1, c, limits[c - 1]);
        ASSERT_TRUE(master->SaveAs(ziv::MasterBookPath(product)));

        ziv::report::FixedLimit fixed;
        fixed.Version = 1;
        fixed.FixedAt = ziv::TimestampNow();
        fixed.FixedAt.Utc -= std::chrono::days(30);
        fixed.FixedBy = "品証";
        fixed.From = fixed.To = {2026, 1, 5};
        fixed.Point = 1;
        fixed.N = 20;
        fixed.Limits = {10, 10.006, 9.994, 0.002, 0.0065, 0};
        fixed.Tolerance = {"10", "0.02", "-0.02"};
        WriteFile(product_ + "/管理限界.txt", ziv::report::FixedLimitsText({fixed}));

        const QString journals = QString::fromStdString(ziv::JournalFolder(Root("製品").toStdString()));
        QDir().mkpath(journals);
        QDir().mkpath(product_ + "/data");
        for (int back = 5; back >= 1; --back) {
            const QDate date = QDate::currentDate().addDays(-back);
            const std::string value = "10.00" + std::to_string(5 - back);  // 10.000 .. 10.004
            ziv::Workbook book = ziv::NewDayBook(20, [&](int r) {
                return ziv::MasterRow{master->CellText(1, r, 1), master->CellText(1, r, 2), master->CellText(1, r, 3),
                                      master->CellText(1, r, 4)};
            });
            ASSERT_TRUE(ziv::WriteDayBookRow(book, 1, {"M", value, "合", ""}));
            ASSERT_TRUE(book.SaveAs(ziv::DayBookPath(product, "検査員1", name, 0, WorkDateOf(date))));
            ziv::JournalEntry e;
            e.Time = ziv::TimestampNow();
            e.Time.Utc -= std::chrono::days(back);
            e.WorkDate = DayOf(date);
            e.Station = "other";
            e.Operator = "検査員1";
            e.Product = name;
            e.Point = 1;
            e.Text = value;
            e.Judgement = "合";
            WriteFile(journals + "/" + QString::fromStdString(ziv::JournalFileName(e.WorkDate, "other")),
                      ziv::JournalStart() + ziv::JournalRecord(e) + "\r\n");
        }
    }

    // Point 1's value and judgement in today's day workbook of machine 0 (the
    // folder holds the days before too).
    std::string TodaysPointOne(int column) {
        auto book = ziv::Workbook::Open(ziv::DayBookPath(product_.toStdString(), "検査員1",
                                                         QDir(product_).dirName().toStdString(), 0,
                                                         WorkDateOf(QDate::currentDate())));
        return book ? book->CellText(1, 1, column) : std::string();
    }

    int AmberPixels(const QString& name) {
        return MainPixels(name, [](QColor c) {
            return std::abs(c.red() - 0xFF) < 16 && std::abs(c.green() - 0xB3) < 16 && c.blue() < 24;
        });
    }
};

TEST_F(ControlDesktop, ADriftIsSignalledBeforeAnyFailureAndTheReactionReachesTheReport) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(PrepareDrift());
    PtyInstrument gauge;
    ASSERT_TRUE(gauge.ok());
    BindPort(root_, 1, gauge.devicePath());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    ClickMain(kStartFromRight, kStartTop);
    Key("F1");
    QThread::msleep(1500);  // the limits and journals come in beside the window
    const int before = AmberPixels("control-before");

    // The sixth rise in a row, still well inside the tolerance.
    gauge.answerWith("01A+010.005\r");
    Key("space");
    ASSERT_TRUE(gauge.waitForReceived("1\r", 10000));
    ASSERT_TRUE(WaitUntil([&] { return !TodaysPointOne(5).empty(); }, 5000)) << "the reading went nowhere";
    EXPECT_EQ(TodaysPointOne(6), "合");
    QThread::msleep(500);
    const int signalled = AmberPixels("control-signal");
    EXPECT_GT(signalled, before + 2000) << "the state label is not amber";

    const QString journals = QString::fromStdString(ziv::JournalFolder(Root("製品").toStdString()));
    std::vector<std::pair<ziv::EntryWay, std::string>> kept;
    for (const ziv::JournalEntry& e : OwnJournal(journals, "other")) kept.push_back({e.Way, e.Text + e.Judgement});
    EXPECT_EQ(kept, (std::vector<std::pair<ziv::EntryWay, std::string>>{{ziv::EntryWay::Reading, "10.005合"},
                                                                        {ziv::EntryWay::Signal, "6点連続の増加"}}));

    Key("ctrl+r");
    ASSERT_TRUE(WaitUntil([&] { return !X({"xdotool", "search", "--onlyvisible", "--name", "対処の記録"}).out.isEmpty(); },
                          10000))
        << "no reaction dialog";
    QThread::msleep(300);
    Key("space");  // 工具交換, the first choice, has the keyboard
    Screenshot("control-reaction-dialog");
    Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return OwnJournal(journals, "other").size() == 3; }, 10000)) << "no reaction journalled";
    EXPECT_EQ(OwnJournal(journals, "other").back().Text, "工具交換");
    QThread::msleep(300);
    EXPECT_LT(AmberPixels("control-after-reaction"), signalled - 2000) << "the signal stayed after the reaction";
    ASSERT_NO_FATAL_FAILURE(CloseZiv());

    // The report's chart of point 1 on machine 0 against the fixed limits.
    const QString shot = BuildDir() + "/desktop-shots/control-report-chart.png";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", Root("config"));
    QProcess report;
    report.setProcessEnvironment(env);
    const QDate today = QDate::currentDate();
    report.start(kTools + "/tools/ziv-report/ziv-report",
                 {"screenshot", product_, today.addDays(-7).toString("yyyy-MM-dd"), today.toString("yyyy-MM-dd"), shot,
                  "0", "fixed"});
    ASSERT_TRUE(report.waitForFinished(60000));
    ASSERT_EQ(report.exitCode(), 0) << report.readAllStandardError().toStdString();
    QImage chart(shot);
    int reaction = 0, signal = 0;
    for (int y = 0; y < chart.height(); ++y)
        for (int x = 0; x < chart.width(); ++x) {
            QColor c = chart.pixelColor(x, y);
            reaction += std::abs(c.red() - 200) < 12 && c.green() < 16 && std::abs(c.blue() - 160) < 12;
            signal += std::abs(c.red() - 255) < 8 && std::abs(c.green() - 179) < 8 && c.blue() < 16;
        }
    EXPECT_GT(reaction, 60) << "no tool change on the report's chart";
    EXPECT_GT(signal, 30) << "no signal on the report's chart";
}
