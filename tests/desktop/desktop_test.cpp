// Which window gets the keys, where windows appear, pasted text, and what a
// value typed or read on the desktop becomes in the files.
#include "desktop_fixture.h"
#include "drawing/window_layout.h"

using namespace desktop;

// After a click on the drawing, a zoom, or a designation ended with OK or
// Cancel, the space bar must read the gauge in the measurement window; were
// the keys left with the editor, the same key would export Data.jpg.
TEST_F(Desktop, KeysGoBackToTheMeasurementWindowAfterEveryEditorAction) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartGauge());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    ClickMain(kStartFromRight, kStartTop);
    Key("F1");

    const QString exported = product_ + "/Data.jpg";
    struct Step {
        const char* name;
        std::function<void()> act;
    };
    const std::vector<Step> steps = {
        {"click-on-drawing", [&] { ClickEditor(kOverviewX, kOverviewY); }},
        {"zoom", [&] { ClickEditor(kZoomX, kEditorButtonsY); }},
        {"unzoom", [&] { ClickEditor(kZoomX, kEditorButtonsY); }},
        {"designate-ok",
         [&] {
             ClickEditor(kDesignateX, kEditorButtonsY);
             ClickEditor(kOverviewX - 100, kOverviewY);
             Screenshot("focus-designating");
             ClickEditor(kOkX, kEditorButtonsY);
         }},
        {"designate-cancel",
         [&] {
             ClickEditor(kDesignateX, kEditorButtonsY);
             ClickEditor(kOverviewX + 100, kOverviewY);
             ClickEditor(kCancelX, kEditorButtonsY);
         }},
    };
    int point = 1;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        QThread::msleep(300);
        Screenshot(QString("focus-after-") + step.name);
        EXPECT_EQ(ActiveWindow(), main_) << "the keyboard stayed with the editor";
        Key("space");
        EXPECT_TRUE(WaitUntil([&] { return !MeasuredValue(point).isEmpty(); }, 5000))
            << "the space bar read no value for point " << point;
        EXPECT_FALSE(QFile::exists(exported)) << "the space bar exported the drawing";
        if (QFile::exists(exported)) QFile::remove(exported);
        ++point;
    }
}

// Both windows maximised at shut-down: the files keep the places of the
// normal windows (with state 2), not the maximised origin.
TEST_F(Desktop, MaximisedWindowsAreRememberedAtTheirNormalPlace) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    // Measurement window's frame at 100,100 pixels; the editor's at 900,150.
    const std::string mainPlace = " 1500\r\n 1500\r\n 0\r\n", editorPlace = " 2250\r\n 13500\r\n 0\r\n";
    WriteFile(Root("Config/DrawPosMain.dat"), mainPlace);
    WriteFile(Root("Config/DrawPos.dat"), editorPlace);
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    Screenshot("remembered-places");
    Rect mainOuter = Outer(main_), editorOuter = Outer(editor_);
    EXPECT_EQ(mainOuter.x, 100);
    EXPECT_EQ(mainOuter.y, 100);
    EXPECT_EQ(editorOuter.x, 900);
    EXPECT_EQ(editorOuter.y, 150);

    for (const QString& id : {main_, editor_})
        X({"wmctrl", "-i", "-r", id, "-b", "add,maximized_vert,maximized_horz"});
    ASSERT_TRUE(WaitUntil([&] { return Maximised(main_) && Maximised(editor_); }, 5000));
    QThread::msleep(300);
    Screenshot("maximised");
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
    // The place of the normal window, then the size (two more lines).
    EXPECT_TRUE(ReadFile(Root("Config/DrawPosMain.dat")).starts_with(" 1500\r\n 1500\r\n 2\r\n"));
    EXPECT_TRUE(ReadFile(Root("Config/DrawPos.dat")).starts_with(" 2250\r\n 13500\r\n 2\r\n"));
}

// A new installation on a full HD screen: both windows whole and side by side;
// closing remembers where they were.
// 設定 hides the operator window while the settings window is up; it comes
// back where the operator left it, not where the window manager puts a new one.
TEST_F(Desktop, TheOperatorWindowComesBackWhereItStoodAfterTheSettings) {
    if (!StartDesktop(1920, 1080)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    X({"xdotool", "windowmove", "--sync", operators_, "765", "300"});
    const Rect before = Outer(operators_);
    Rect o = Client(operators_);
    Click(o.x + kDecideX, o.y + kSettingsY);
    ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 1 && Windows().front() != operators_; }, 10000))
        << "no settings window";
    Screenshot("settings-over-operators");
    X({"wmctrl", "-i", "-c", Windows().front()});
    ASSERT_TRUE(WaitUntil([&] { return Windows() == QStringList{operators_}; }, 10000)) << "the operator window did not come back";
    EXPECT_TRUE(WaitUntil([&] { return Outer(operators_) == before; }, 2000)) << Outer(operators_) << " instead of " << before;
}

TEST_F(Desktop, FirstStartShowsBothWindowsWholeSideBySide) {
    if (!StartDesktop(1920, 1080)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    Screenshot("first-start-1920x1080");
    Rect mainOuter = Outer(main_), editorOuter = Outer(editor_);
    EXPECT_TRUE(mainOuter.Inside(screen_)) << mainOuter;
    EXPECT_TRUE(editorOuter.Inside(screen_)) << editorOuter;
    EXPECT_FALSE(mainOuter.Overlaps(editorOuter)) << mainOuter << " and " << editorOuter;
    Rect mainClient = Client(main_);
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
    auto twips = [](int pixels) { return " " + std::to_string(pixels * 15) + "\r\n"; };
    EXPECT_EQ(ReadFile(Root("Config/DrawPos.dat")),
              twips(editorOuter.y) + twips(editorOuter.x) + " 0\r\n" + twips(1000) + twips(640));
    EXPECT_EQ(ReadFile(Root("Config/DrawPosMain.dat")), twips(mainOuter.y) + twips(mainOuter.x) + " 0\r\n" +
                                                            twips(mainClient.w) + twips(mainClient.h));
}

// On a 1366 x 768 screen the editor is narrower than designed, its buttons in
// a second row: both windows stay on the screen, every control free.
TEST_F(Desktop, FirstStartOnASmallScreenKeepsEveryButtonReachable) {
    if (!StartDesktop(1366, 768)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    Screenshot("first-start-1366x768");
    Rect mainOuter = Outer(main_), editorOuter = Outer(editor_), editor = Client(editor_);
    EXPECT_TRUE(mainOuter.Inside(screen_)) << mainOuter;
    EXPECT_TRUE(editorOuter.Inside(screen_)) << editorOuter;
    const ziv::EditorLayout layout = ziv::EditorLayoutFor({editor.w, editor.h});
    for (const ziv::ScreenRect& r : layout.Controls)
        EXPECT_FALSE(mainOuter.Contains(editor.x + r.X, editor.y + r.Y)) << "control at " << r.X << "," << r.Y;
    // "拡大" answers the click.
    const ziv::ScreenRect& zoom = layout.Controls[ziv::kZoom];
    ClickEditor(zoom.X + zoom.Width / 2, zoom.Y + zoom.Height / 2);
    Screenshot("small-screen-zoomed");
}

// Seen: DrawPosMain.dat holding -300 / -15 put the title bar above the
// screen at every start. The window comes back onto the screen; a size the
// operator gave it is there again at the next start.
TEST_F(Desktop, AWindowAboveTheScreenComesBackAndKeepsItsSize) {
    if (!StartDesktop(1366, 768)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    WriteFile(Root("Config/DrawPosMain.dat"), " -300\r\n -15\r\n 0\r\n");
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    QThread::msleep(700);
    Screenshot("above-the-screen-1366x768");
    Rect outer = Outer(main_);
    EXPECT_GE(outer.y, 0) << outer;
    EXPECT_GE(outer.x, 0) << outer;
    X({"xdotool", "windowsize", main_, "1000", "700"});
    ASSERT_TRUE(WaitUntil([&] { return Client(main_).w == 1000; }, 5000)) << Client(main_);
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    Screenshot("size-kept-1366x768");
    EXPECT_EQ(Client(main_).w, 1000);
    EXPECT_EQ(Client(main_).h, 700);
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
}

// Nothing is chosen when the operator window opens: "削除" deletes nobody and
// "決定" opens nothing until a name is clicked.
TEST_F(Desktop, OperatorWindowActsOnlyOnAClickedName) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    const std::string users = ReadFile(Root("Config/Users.dat")), paths = ReadFile(Root("Config/Path.dat"));
    ASSERT_FALSE(users.empty());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    Screenshot("operators-opened");
    Rect o = Client(operators_);
    Click(o.x + kDeleteX, o.y + kDeleteY);
    QThread::msleep(700);
    EXPECT_EQ(ReadFile(Root("Config/Users.dat")), users) << "削除 deleted an operator nobody chose";
    EXPECT_EQ(ReadFile(Root("Config/Path.dat")), paths);
    Click(o.x + kDecideX, o.y + kDecideY);
    ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 2; }, 10000)) << "決定 with nobody chosen said nothing";
    QThread::msleep(300);
    Screenshot("operators-decide-without-choice");
    Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return Windows() == QStringList{operators_}; }, 10000))
        << "決定 opened a window without a chosen operator";
    // A double-click on a name signs in.
    X({"xdotool", "mousemove", QString::number(o.x + kOperatorX), QString::number(o.y + kOperatorY)});
    QThread::msleep(200);
    X({"xdotool", "click", "--repeat", "2", "--delay", "80", "1"});
    EXPECT_TRUE(WaitUntil([&] { return Windows().size() == 2 && !Windows().contains(operators_); }, 20000))
        << "a double-click on a name did not sign in";
}

// Text pasted into the number box stands there as pasted: 入力 records the
// number it is, the input method's full-width digits too, and refuses with a
// message a text that is none, never a 0 made of it, leaving it in the box
// to be put right.
TEST_F(Desktop, PastedTextInTheNumberBoxIsEnteredOnlyWhenItIsANumber) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    Rect m = MainClient();
    const int boxX = m.x + m.w - kNumberBoxFromRight, boxY = m.y + kNumberBoxTop;
    int point = 1;
    // What shift+Home selects becomes the primary selection, which tells
    // what the box holds.
    auto clickBoxAndSelectAll = [&] {
        Click(boxX, boxY);
        Key("End");
        Key("shift+Home");
    };
    for (const char* pasted : {"１０．０１", "abc12"}) {
        for (const char* way : {"ctrl+v", "middle-click"}) {
            SCOPED_TRACE(std::string(pasted) + " by " + way);
            clickBoxAndSelectAll();
            Key("BackSpace");
            if (std::string(way) == "ctrl+v") {
                Selection("clipboard", pasted);
                Key("ctrl+v");
            } else {
                Selection("primary", pasted);
                Click(boxX, boxY, 2);
            }
            Screenshot(QString("pasted-%1-%2").arg(point).arg(way));
            ClickMain(kNumberEnterFromRight, kNumberBoxTop);
            if (std::string(pasted) == "abc12") {
                ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 3; }, 10000)) << "no message for a text that is no number";
                Key("Return");
                ASSERT_TRUE(WaitUntil([&] { return Windows().size() <= 2; }, 10000));
                EXPECT_TRUE(MeasuredValue(point).isEmpty());
                clickBoxAndSelectAll();
                EXPECT_EQ(X({"xclip", "-selection", "primary", "-o"}).out.toStdString(), pasted);
                continue;
            }
            ASSERT_TRUE(WaitUntil([&] { return !MeasuredValue(point).isEmpty(); }, 5000)) << "入力 recorded nothing";
            EXPECT_EQ(MeasuredValue(point), "10.01");
            ++point;
        }
    }
    // Seen: Ctrl+A zoomed the drawing and took the keyboard from the box, so
    // the box kept "21" and 入力 recorded it. Ctrl+A selects the box's text
    // and what is typed next replaces it.
    Click(boxX, boxY);
    X({"xdotool", "type", "21"});
    Key("ctrl+a");
    X({"xdotool", "type", "2.1"});
    Screenshot("ctrl-a-in-the-box");
    EXPECT_EQ(ActiveWindow(), main_);
    ClickMain(kNumberEnterFromRight, kNumberBoxTop);
    ASSERT_TRUE(WaitUntil([&] { return !MeasuredValue(point).isEmpty(); }, 5000)) << "入力 recorded nothing";
    EXPECT_EQ(MeasuredValue(point), "2.1");
}

// Seen: a message at start opened at the screen's top left, away from the
// window it belongs to. A second start on the same root is told over the
// operator window, where the first one stands.
TEST_F(Desktop, AMessageAtStartOpensOverItsWindow) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    QProcessEnvironment env = env_;
    env.insert("ZIV_ROOT", QString::fromStdString(root_.path()));
    QProcess* second = Spawn(BuildDir() + "/ziv", {}, env);
    ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 2; }, 20000)) << "the second start said nothing";
    Screenshot("second-start-message");
    QStringList boxes = Windows();
    boxes.removeAll(operators_);
    ASSERT_EQ(boxes.size(), 1);
    const Rect box = Outer(boxes.front()), operators = Outer(operators_);
    EXPECT_TRUE(operators.Contains(box.x + box.w / 2, box.y + box.h / 2)) << box << " not over " << operators;
    Key("Return");
    EXPECT_TRUE(second->waitForFinished(10000));
}

// A failed value stands out where the operator looks: its cells are painted
// in the fail colour on the real screen.
TEST_F(Desktop, AFailedValueIsPaintedInTheFailColour) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    auto failPixels = [&](const QString& name) {
        return MainPixels(name, [](QColor c) { return std::abs(c.red() - 0xCC) < 24 && c.green() < 24 && c.blue() < 24; });
    };
    int before = failPixels("fail-colour-before");
    Rect m = MainClient();
    Click(m.x + m.w - kNumberBoxFromRight, m.y + kNumberBoxTop);
    X({"xdotool", "type", "999"});
    Key("Return");  // Enter enters, as 入力 does
    ASSERT_TRUE(WaitUntil([&] { return MeasuredValue(1) == "999"; }, 5000)) << "Enter recorded nothing";
    EXPECT_EQ(DayBook()[std::make_pair(1, 6)], QString::fromUtf8("不"));
    // Two cells of a row at least, value and judgement.
    EXPECT_GT(failPixels("fail-colour-after"), before + 400);
}

// A gauge zeroed on a master answers a signed deviation: on a point whose
// lower limit lies below zero it is recorded and judged with its sign, and
// the number box takes a minus there. A reply without a number records
// nothing, and a message shows the reply.
class OnEachScreen : public Desktop, public ::testing::WithParamInterface<std::pair<int, int>> {
protected:
    QString ShotName(const char* name) const {
        return QString("%1-%2x%3").arg(name).arg(GetParam().first).arg(GetParam().second);
    }
};

TEST_P(OnEachScreen, ASignedDeviationKeepsItsSignAndAReplyWithoutANumberRecordsNothing) {
    if (!StartDesktop(GetParam().first, GetParam().second)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    const std::string master = ziv::MasterBookPath(product_.toStdString());
    auto book = ziv::Workbook::Open(master);
    ASSERT_TRUE(book);
    const char* deviation[] = {"0", "0.02", "-0.03"};
    for (int c = 1; c <= 3; ++c) book->SetCell(1, 1, c, deviation[c - 1]);
    ASSERT_TRUE(book->SaveAs(master));
    PtyInstrument gauge;
    ASSERT_TRUE(gauge.ok());
    ASSERT_NO_FATAL_FAILURE(StartMeasuringWith(gauge));
    gauge.answerWith("01A-000.025\r");
    Key("space");
    ASSERT_TRUE(gauge.waitForReceived("1\r", 10000));
    ASSERT_TRUE(WaitUntil([&] { return !MeasuredValue(1).isEmpty(); }, 5000)) << "the reading went nowhere";
    EXPECT_DOUBLE_EQ(MeasuredValue(1).toDouble(), -0.025);
    EXPECT_EQ(DayBook()[std::make_pair(1, 6)], QString::fromUtf8("合"));

    gauge.clearReceived();
    gauge.answerWith("01A-----\r");
    Key("space");
    ASSERT_TRUE(gauge.waitForReceived("1\r", 10000));
    ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 3; }, 10000)) << "no message for a reply without a number";
    QThread::msleep(300);
    Screenshot(ShotName("no-number-message"));
    Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return Windows().size() <= 2; }, 10000));
    EXPECT_TRUE(MeasuredValue(2).isEmpty());

    // By hand on point 1, typed with a minus.
    Key("Escape");
    Rect m = MainClient();
    Click(m.x + kPointOneX, m.y + kPointOneY);
    Click(m.x + m.w - kNumberBoxFromRight, m.y + kNumberBoxTop);
    X({"xdotool", "type", "--", "-0.031"});
    Screenshot(ShotName("signed-number-box"));
    ClickMain(kNumberEnterFromRight, kNumberBoxTop);
    ASSERT_TRUE(WaitUntil([&] { return MeasuredValue(1).toDouble() == -0.031; }, 5000)) << MeasuredValue(1).toStdString();
    EXPECT_EQ(DayBook()[std::make_pair(1, 6)], QString::fromUtf8("不"));
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
}

INSTANTIATE_TEST_SUITE_P(Screens, OnEachScreen, ::testing::Values(std::pair{1366, 768}, std::pair{1920, 1200}),
                         [](const auto& screen) {
                             return std::to_string(screen.param.first) + "x" + std::to_string(screen.param.second);
                         });

// A value typed while the product's data folder cannot be reached waits: the
// window shows how many wait (in amber), closing says they are kept, and the
// next start writes them into the day workbook before anything else.
TEST_F(Desktop, AValueThatCannotBeWrittenWaitsAndTheNextStartWritesIt) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    auto amberPixels = [&](const QString& name) { return MainPixels(name, Amber); };
    // Dismisses the message box that appears over the windows.
    auto answerMessage = [&](const char* what) {
        ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 3; }, 10000)) << "no message " << what;
        QThread::msleep(300);
        Screenshot(QString("waiting-message-") + what);
        Key("Return");
        ASSERT_TRUE(WaitUntil([&] { return Windows().size() <= 2; }, 10000)) << "the message stayed: " << what;
    };
    // What the station keeps in its log, every file of it.
    auto kept = [&] {
        QString all;
        for (const QFileInfo& f : QDir(Root("Config/StationLog")).entryInfoList({"*.log"}, QDir::Files))
            all += QString::fromStdString(ReadFile(f.filePath()));
        return all.toStdString();
    };
    int before = amberPixels("waiting-before");
    // The share gone: where the data folder should be, something that is not one.
    const QString data = product_ + "/data", away = product_ + "/data-away";
    ASSERT_TRUE(QDir().rename(data, away) || !QDir(data).exists());
    WriteFile(data, "not a folder");
    Rect m = MainClient();
    Click(m.x + m.w - kNumberBoxFromRight, m.y + kNumberBoxTop);
    X({"xdotool", "type", "10.004"});
    ClickMain(kNumberEnterFromRight, kNumberBoxTop);
    ASSERT_NO_FATAL_FAILURE(answerMessage("value"));
    EXPECT_GT(amberPixels("waiting-shown"), before + 300) << "the count of what waits is not shown";
    EXPECT_NE(kept().find("10.004"), std::string::npos);

    X({"wmctrl", "-i", "-c", main_});
    ASSERT_NO_FATAL_FAILURE(answerMessage("closing"));
    ASSERT_TRUE(ziv_->waitForFinished(20000)) << "ziv did not end";

    QFile::remove(data);
    if (QDir(away).exists()) {
        ASSERT_TRUE(QDir().rename(away, data));
    }
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    ASSERT_TRUE(WaitUntil([&] { return MeasuredValue(1) == "10.004"; }, 10000)) << "the waiting value was not written";
    EXPECT_LE(amberPixels("waiting-written"), before + 50);
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
    EXPECT_EQ(kept().find("10.004"), std::string::npos) << "delivered, and the log gone with the run";
}

// A point read twice keeps both readings in the journal, each with its time
// and the gauge's control number, while the day workbook holds the second; a
// gauge past its calibration date is told in a message once, its readings
// still count, and the journal marks them.
TEST_F(Desktop, APointReadTwiceKeepsBothReadingsInTheJournalAndAnOverdueGaugeIsTold) {
    using namespace std::chrono;
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ziv::Gauges gauges{};
    gauges[0] = {"G-0001", year_month_day(sys_days(ziv::TimestampNow().LocalDay()) - days(1))};
    ASSERT_TRUE(ziv::SaveGauges(ziv::GaugesFilePath(root_.path()), gauges));
    ASSERT_NO_FATAL_FAILURE(StartGauge());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    ClickMain(kStartFromRight, kStartTop);
    Key("F1");
    Key("space");
    ASSERT_TRUE(WaitUntil([&] { return Windows().size() == 3; }, 10000)) << "no message for the overdue gauge";
    QThread::msleep(300);
    Screenshot("overdue-message");
    Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return Windows().size() <= 2; }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return !MeasuredValue(1).isEmpty(); }, 5000)) << "the first reading went nowhere";
    const QString first = MeasuredValue(1);

    // Point 1 again: chosen on the grid, read once more; no second message.
    Rect m = MainClient();
    Click(m.x + kPointOneX, m.y + kPointOneY);
    QThread::msleep(300);
    Key("space");
    ASSERT_TRUE(WaitUntil([&] { return MeasuredValue(1) != first; }, 5000)) << "the second reading did not replace the first";
    QThread::msleep(500);
    Screenshot("overdue-state");
    EXPECT_EQ(Windows().size(), 2u) << "the overdue gauge was told twice";

    QDir journals(Root("製品/ＺＩＶログ"));
    QStringList files = journals.entryList({"journal_*.csv"}, QDir::Files);
    ASSERT_EQ(files.size(), 1) << "one journal for the station and the day";
    ziv::JournalRead journal = ziv::ReadJournal(journals.filePath(files.front()).toStdString());
    ASSERT_EQ(journal.entries.size(), 2u);
    const ziv::JournalEntry& a = journal.entries[0];
    const ziv::JournalEntry& b = journal.entries[1];
    EXPECT_EQ(a.Point, 1);
    EXPECT_EQ(b.Point, 1);
    EXPECT_EQ(QString::fromStdString(a.Text), first);
    EXPECT_EQ(QString::fromStdString(b.Text), MeasuredValue(1));
    EXPECT_EQ(b.Replaced, a.Text);
    EXPECT_LT(a.Time.Utc, b.Time.Utc);
    for (const ziv::JournalEntry* e : {&a, &b}) {
        EXPECT_EQ(e->Way, ziv::EntryWay::Reading);
        EXPECT_EQ(e->Key, 1);
        EXPECT_EQ(e->Gauge, "G-0001");
        EXPECT_TRUE(e->GaugeOverdue);
        EXPECT_FALSE(e->Reply.empty());
    }
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
}
