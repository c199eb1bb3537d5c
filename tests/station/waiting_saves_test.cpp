// What the measurement window shows and says of values and registrations
// that wait to be written: the count, one warning while the share is gone,
// what closing tells, and the next start writing them first.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QDate>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <atomic>
#include <memory>
#include <thread>

#include "children.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "platform/folder_list_qt.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "station_log/station_log.h"
#include "records/server_clock.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "workbook/workbook.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

class WaitingSaves : public StationFixture {
protected:
    std::unique_ptr<MeasurementWindow> form;
    std::string product, other;

    void TearDown() override {
        disk.reads = nullptr;
        disk.writes = nullptr;
        form.reset();
    }
    void Start() {
        product = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}, {"20", "0.02", "-0.01", "20"},
                                        {"30", "0.02", "-0.01", "30"}});
        other = MakeProduct("B-200", {{"5", "0.1", "-0.1", "5"}});
        Register({{0, product}});
        form = Open();
        ASSERT_TRUE(form);
        Child<QCheckBox>(*form, "autoAdvanceBox")->setChecked(false);
    }
    // The product folder's share gone: day workbooks and Directory.dat answer
    // with the errors of a dropped connection; the masters were read before.
    void ShareGone() {
        disk.reads = [](const std::string& p) { return p.find("/data/") != std::string::npos ? ENOTCONN : 0; };
        disk.writes = [](WriteStep, const std::string& p) {
            return p.find("Directory.dat") != std::string::npos ? EIO : 0;
        };
    }
    void ShareBack() {
        disk.reads = nullptr;
        disk.writes = nullptr;
    }
    void Enter(int row, const char* number) {
        form->Grid(0)->SetRow(row);
        Child<QLineEdit>(*form, "numberEntryBox")->setText(number);
        form->enterNumber();
    }
    void RegisterOn(int machine, const std::string& folder) {
        form->ShowMachine(machine);
        form->openProductPanel();
        ASSERT_TRUE(Child<FolderList>(*form, "folderList")->setPath(QString::fromStdString(folder)));
        form->registerProduct();
        form->ShowMachine(0);
    }
    std::string Today() const { return DayBookPath(product, userName, "A-100", 0, form->WorkingDate()); }
    QString Shown() { return Child<QLabel>(*form, "waitingLabel")->text(); }
    bool CountVisible() { return Child<QLabel>(*form, "waitingLabel")->isVisibleTo(form.get()); }
    bool Retrying() { return Child<QTimer>(*form, "retryTimer")->isActive(); }
    std::string DirectoryLine(int machine) {
        auto lines = SplitLines(FromCp932(ReadBytes(DirectoryFilePath(userDir))));
        return machine < static_cast<int>(lines.size()) ? lines[machine] : "(no line)";
    }
};

}  // namespace

TEST_F(WaitingSaves, CountShowsWhatWaitsAndTheShareGoneIsToldOnceUntilAllIsWritten) {
    Start();
    const std::string today = Today();
    EXPECT_FALSE(CountVisible());
    EXPECT_FALSE(Retrying());
    ShareGone();
    Enter(1, "10.001");
    // Told once the writer has met the share gone.
    ASSERT_TRUE(WaitUntil([&] { return messages.size() == 1; }));
    EXPECT_EQ(messages[0].title.toStdString(), "ZIV - 警告");
    EXPECT_NE(messages[0].text.toStdString().find(today), std::string::npos);
    Enter(2, "20.002");
    RegisterOn(5, other);
    // Moving to another date keeps what waits for today's workbook.
    form->dateClicked(2025, 1, 5);
    Enter(3, "30.003");
    EXPECT_EQ(messages.size(), 1u) << Messages().back();
    EXPECT_EQ(Shown().toStdString(), "未保存 4");
    EXPECT_TRUE(CountVisible());
    EXPECT_TRUE(Retrying());
    // A tick while the share is still gone says nothing.
    form->retryWaiting();
    EXPECT_EQ(messages.size(), 1u);

    ShareBack();
    EXPECT_TRUE(form->DeliverWaiting(20000));
    EXPECT_EQ(form->WaitingCount(), 0u);
    EXPECT_FALSE(CountVisible());
    EXPECT_FALSE(Retrying());
    auto todays = Workbook::Open(today);
    ASSERT_TRUE(todays);
    EXPECT_EQ(todays->CellText(1, 1, 5), "10.001");
    EXPECT_EQ(todays->CellText(1, 2, 5), "20.002");
    EXPECT_EQ(Workbook::Open(DayBookPath(product, userName, "A-100", 0, {"2025", "1", "5"}))->CellText(1, 3, 5), "30.003");
    EXPECT_EQ(DirectoryLine(5), other);
    EXPECT_EQ(messages.size(), 1u);

    // All written, the next failure is told again.
    ShareGone();
    Enter(1, "10.004");
    EXPECT_TRUE(WaitUntil([&] { return messages.size() == 2; }));
    EXPECT_EQ(Shown().toStdString(), "未保存 1");
}

TEST_F(WaitingSaves, ClosingKeepsWhatWaitsAndSaysSoAndTheNextStartWritesItFirst) {
    Start();
    const std::string book = Today();
    ShareGone();
    Enter(1, "10.001");
    Enter(2, "20.002");
    RegisterOn(3, other);
    messages.clear();
    form->close();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.toStdString().find("3 件"), std::string::npos) << Messages()[0];
    EXPECT_NE(messages[0].text.toStdString().find("次の起動時に書き込まれます"), std::string::npos) << Messages()[0];
    form.reset();

    // Started while the share is still gone: the operator sees his values and
    // his registration, and hears that they wait.
    messages.clear();
    form = Open();
    ASSERT_TRUE(form);
    ASSERT_TRUE(WaitUntil([&] { return messages.size() == 1; }));
    EXPECT_NE(Messages()[0].find("前回書き込めなかった値・登録・指定 3 件"), std::string::npos) << Messages()[0];
    EXPECT_EQ(Shown().toStdString(), "未保存 3");
    EXPECT_EQ(Cell(*form, 1, 1), "10.001");
    EXPECT_EQ(Cell(*form, 2, 1), "20.002");
    EXPECT_EQ(form->ProductPath(3), other);
    form->close();
    form.reset();

    // The share back, and the queue's file damaged meanwhile: it is kept
    // aside, said so, and what reads whole of it is written first.
    ShareBack();
    std::vector<fs::path> logs;
    for (const auto& item : fs::directory_iterator(StationLogFolder(OldQueuePath(root.path())))) logs.push_back(item.path());
    ASSERT_EQ(logs.size(), 1u);
    std::string bytes = ReadBytes(logs[0]) + "R\tcut short\n";
    WriteBytes(logs[0], bytes);
    const std::string aside = logs[0].parent_path() / (logs[0].stem().string() + "-damaged-1.kept");
    messages.clear();
    form = Open();
    ASSERT_TRUE(form);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(Messages()[0].find(aside), std::string::npos) << Messages()[0];
    EXPECT_EQ(ReadBytes(aside), bytes);
    ASSERT_TRUE(WaitUntil([&] { return form->WaitingCount() == 0 && !CountVisible(); }));
    EXPECT_EQ(messages.size(), 1u) << "a share that takes what waited says nothing more";
    EXPECT_EQ(Workbook::Open(book)->CellText(1, 2, 5), "20.002");
    EXPECT_EQ(DirectoryLine(3), other);
    EXPECT_EQ(Cell(*form, 2, 1), "20.002");
}

// The day workbook's read hangs at start-up, as on a share that does not
// answer: the window comes up after its bounded wait and says so in the
// state label, never in a box; a value entered meanwhile is taken, and when
// the share answers the grid shows the workbook with that value kept.
TEST_F(WaitingSaves, AStartUpWhoseShareDoesNotAnswerGoesOnAndShowsTheDayWhenItAnswers) {
    product = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}, {"20", "0.02", "-0.01", "20"}});
    Register({{0, product}});
    QDate today = QDate::currentDate();
    const std::string book = DayBookPath(product, userName, "A-100", 0,
                                         {DecimalText(today.year()), DecimalText(today.month()), DecimalText(today.day())});
    Workbook earlier = NewDayBook(2, [](int) { return MasterRow{}; });
    ASSERT_TRUE(WriteDayBookRow(earlier, 1, {"", "10.001", "合", ""}) && WriteDayBookRow(earlier, 2, {"", "20.001", "合", ""}));
    fs::create_directories(DayBookFolder(product));
    ASSERT_TRUE(earlier.SaveAs(book));
    auto hung = std::make_shared<std::atomic<bool>>(true);
    disk.reads = [hung, book](const std::string& path) {
        while (path == book && *hung) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return 0;
    };
    form = std::make_unique<MeasurementWindow>(SignedInOperator{root.path(), userDir, userName}, dialogs, files);
    ASSERT_TRUE(form->startUp());
    auto* state = Child<QLabel>(*form, "stateLabel");
    EXPECT_EQ(state->text().toStdString(), "サーバー応答なし\n読み込み待ち");
    Enter(2, "20.009");
    EXPECT_TRUE(messages.empty()) << Messages().front();
    *hung = false;
    auto shown = [&](int point) { return form->Grid(0)->model()->index(point - 1, 1).data().toString().toStdString(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(1) == "10.001"; }, 10000));
    EXPECT_EQ(shown(2), "20.009");
    EXPECT_EQ(state->text().toStdString(), "全点測定済み") << "the share answered: the part's state again";
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->WaitingCount() == 0; }, 10000));
    auto written = Workbook::Open(book);
    ASSERT_TRUE(written);
    EXPECT_EQ(ReadDayBookRow(*written, 2), (MeasuredRow{"", "20.009", "合", "-0.009"}))
        << "judged and corrected once the master was read";
}

// The share hangs from the start, with values of this station still in its
// log: the grid shows them at once, 「自動」 goes to the first empty point, the
// start waits for none of it, the hang is said in words beside the count
// (never in a box that would take the next key), and a value entered goes in
// with them once the share answers.
TEST_F(WaitingSaves, AStartOnAHungShareShowsTheValuesWaitingHereAndSaysTheHangBesideTheCount) {
    product = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}, {"20", "0.02", "-0.01", "20"},
                                    {"30", "0.02", "-0.01", "30"}});
    Register({{0, product}});
    QDate today = QDate::currentDate();
    const std::string book = DayBookPath(product, userName, "A-100", 0,
                                         {DecimalText(today.year()), DecimalText(today.month()), DecimalText(today.day())});
    {
        StationLog earlier(OldQueuePath(root.path()));
        ASSERT_TRUE(earlier.Put(QueuedRow{book, 0, 1, {"", "10.001", "合", "-0.001"}, {OwnClockNs(), "here"}}));
        ASSERT_TRUE(earlier.Put(QueuedRow{book, 0, 2, {"", "20.002", "合", "-0.002"}, {OwnClockNs(), "here"}}));
    }
    auto hung = std::make_shared<std::atomic<bool>>(true);
    disk.reads = [hung, product = product](const std::string& path) {
        while (path.starts_with(product + "/data") && *hung) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return 0;
    };
    form = std::make_unique<MeasurementWindow>(SignedInOperator{root.path(), userDir, userName}, dialogs, files);
    ASSERT_TRUE(form->startUp());
    EXPECT_EQ(Cell(*form, 1, 1), "10.001");
    EXPECT_EQ(Cell(*form, 2, 1), "20.002");
    EXPECT_EQ(form->Grid(0)->Row(), 3);
    ASSERT_TRUE(WaitUntil([&] { return Shown().toStdString() == "未保存 2\nサーバー応答なし"; })) << Shown().toStdString();
    EXPECT_NE(Child<QLabel>(*form, "waitingLabel")->toolTip().toStdString().find("応答しません"), std::string::npos);
    Child<QLineEdit>(*form, "numberEntryBox")->setText("30.003");
    form->enterNumber();
    EXPECT_EQ(Shown().toStdString(), "未保存 3\nサーバー応答なし");
    *hung = false;
    ASSERT_TRUE(form->DeliverWaiting(20000));
    EXPECT_TRUE(messages.empty()) << "a hang is said beside the count, never in a box: " << Messages().front();
    EXPECT_FALSE(CountVisible());
    auto written = Workbook::Open(book);
    ASSERT_TRUE(written);
    for (int r = 1; r <= 3; ++r) EXPECT_EQ(ReadDayBookRow(*written, r).Value, DecimalText(10 * r) + ".00" + DecimalText(r));
}

// Directory.dat does not answer at start-up: the window starts with what the
// station kept, and once the file comes in, its machines are the operator
// record's machines in charge.
TEST_F(WaitingSaves, ARegistrationReadLateAtStartUpCountsInTheOperatorRecord) {
    product = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}});
    Register({{0, product}, {3, product}});
    auto hung = std::make_shared<std::atomic<bool>>(true);
    disk.reads = [hung](const std::string& path) {
        while (path.ends_with("Directory.dat") && *hung) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return 0;
    };
    form = std::make_unique<MeasurementWindow>(SignedInOperator{root.path(), userDir, userName}, dialogs, files);
    ASSERT_TRUE(form->startUp());
    EXPECT_NE(form->OperatorLog().find("0台担当"), std::string::npos) << form->OperatorLog();
    *hung = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->OperatorLog().find("2台担当") != std::string::npos; }, 10000))
        << form->OperatorLog();
}
