// A long shift at the measurement window: thousands of values typed and read
// one after another over all 48 machines. Memory must stay flat, the time per
// value must not grow with the number of values, and every value must be in
// its day workbook at the end.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "children.h"
#include "common/failure_text.h"
#include "links/instrument_link.h"
#include "pty_instrument.h"
#include "records/day_book.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "workbook/workbook.h"

using namespace ziv;

namespace {

constexpr int kMachines = kMachineCount;
constexpr int kRows = kLastPoint;
// Rows already measured earlier in the day, with a correction: the first
// values fill the rest, then the input position wraps to the first point.
// From then on every cell the shift touches exists already, and memory has
// no reason left to grow.
constexpr int kRowsMeasuredBefore = 95;
constexpr int kProducts = 6;

// Resident memory of this process, in kB.
// What the program holds on the heap, in every thread's arena: the resident
// size also counts what the allocator keeps for a thread, which the writer's
// thread fills at a pace of its own.
long HeapKb() {
    struct mallinfo2 heap = mallinfo2();
    return static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int ValueCount() {
    const char* text = std::getenv("ZIV_LOAD_VALUES");
    int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 2000;
}

double Mean(const std::vector<double>& v, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += v[i];
    return sum / static_cast<double>(to - from);
}

class Load : public StationFixture {
protected:
    PtyInstrument instrument;
    std::unique_ptr<MeasurementWindow> form;
    std::array<std::array<std::string, kRows + 1>, kMachines> expected{};

    // Six products over 48 machines, every machine's day workbook already
    // holding the first rows.
    void Prepare() {
        ASSERT_TRUE(instrument.ok());
        BindPort(root, 1, instrument.devicePath());
        std::vector<MasterPoint> points(kRows, MasterPoint{"5000", "99999", "-99999", "5000"});
        std::vector<std::pair<int, std::string>> machines;
        std::vector<std::string> products;
        for (int p = 0; p < kProducts; ++p) products.push_back(MakeProduct("P-" + std::to_string(p), points));
        QDate today = QDate::currentDate();
        WorkDate date{std::to_string(today.year()), std::to_string(today.month()), std::to_string(today.day())};
        for (int m = 0; m < kMachines; ++m) {
            const std::string& product = products[m % kProducts];
            machines.push_back({m, product});
            Workbook book = NewDayBook(kRows, [&](int) { return MasterRow{"5000", "99999", "-99999", "5000"}; });
            for (int r = 1; r <= kRowsMeasuredBefore; ++r) {
                expected[m][r] = std::to_string(m * 1000 + r);
                WriteDayBookRow(book, r, {"M", expected[m][r], "合", "-1"});
            }
            std::filesystem::create_directories(product + "/data");
            ASSERT_TRUE(book.SaveAs(DayBookPath(product, userName, GetProductName(product), m, date)));
        }
        Register(machines);
        form = Open();
        ASSERT_TRUE(form);
        ASSERT_TRUE(Child<QCheckBox>(*form, "autoAdvanceBox")->isChecked());
        ASSERT_TRUE(Child<QCheckBox>(*form, "clearNumberBox")->isChecked());
    }


    // Typed into the number box, entered with the button.
    void Type(const std::string& number) {
        QTest::keyClicks(Child<QLineEdit>(*form, "numberEntryBox"), QString::fromStdString(number));
        QTest::mouseClick(Child<QPushButton>(*form, "enterNumberButton"), Qt::LeftButton);
    }

    // Start, space, the instrument's reply, Esc.
    void Read(int whole) {
        char field[16];
        std::snprintf(field, sizeof field, "%+08.2f", whole + 0.25);
        form->startMeasuring();
        instrument.clearReceived();
        Key(*form, Qt::Key_Space);
        ASSERT_TRUE(form->ReadingPending());
        ASSERT_TRUE(instrument.waitForReceived("1\r"));
        ASSERT_TRUE(instrument.write(std::string("01A") + field + "\r"));
        ASSERT_TRUE(WaitUntil([&] { return !form->ReadingPending(); }));
        Key(*form, Qt::Key_Escape);
        ASSERT_FALSE(form->Measuring());
    }

    void ExpectEveryWorkbookHoldsTheLastValues() {
        ASSERT_TRUE(form->DeliverWaiting(60000));
        for (int m = 0; m < kMachines; ++m) {
            std::string path = DayBookPath(form->ProductPath(m), userName, form->ProductName(m), m,
                                           form->WorkingDate());
            FileResult problem;
            auto book = Workbook::Open(path, &problem);
            ASSERT_TRUE(book) << BookOpenText(problem);
            for (int r = 1; r <= kRows; ++r)
                ASSERT_EQ(book->CellText(1, r, 5), expected[m][r]) << "machine " << m << ", row " << r;
        }
    }
};

}  // namespace

TEST_F(Load, ValuesOverAllMachinesKeepMemoryFlatAndTimePerValueEven) {
    Prepare();
    const int values = ValueCount();
    const int window = std::min(1000, values / 2);
    std::mt19937 rng(12345);
    std::vector<double> cpu, wall;
    cpu.reserve(values);
    wall.reserve(values);
    std::vector<long> rss;
    const int samples = 10;
    int machine = 0, readings = 0, wraps = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < values; ++i) {
        // Measured with the writer idle: a workbook it is writing is no growth.
        if (i % (values / samples) == 0) rss.push_back(form->DeliverWaiting(20000) ? HeapKb() : -1);
        // The operator moves on to another machine every few values.
        if (rng() % 4 == 0) {
            machine = static_cast<int>(rng() % kMachines);
            form->ShowMachine(machine);
        }
        SheetGrid* grid = form->Grid(machine);
        // Now and then a point is measured again by clicking its row.
        if (rng() % 5 == 0) grid->SetRow(1 + static_cast<int>(rng() % kRows));
        const int row = grid->Row();
        double cpuStart = ThreadCpuSeconds();
        qint64 wallStart = clock.nsecsElapsed();
        if (i % 25 == 0) {
            Read(i % 10000);
            ++readings;
            expected[machine][row] = std::to_string(i % 10000) + ".25";
        } else {
            expected[machine][row] = std::to_string(i) + ".5";
            Type(expected[machine][row]);
        }
        if (HasFatalFailure()) return;
        cpu.push_back(ThreadCpuSeconds() - cpuStart);
        wall.push_back(static_cast<double>(clock.nsecsElapsed() - wallStart) * 1e-9);
        ASSERT_EQ(Cell(*form, row, 1), expected[machine][row]) << "value " << i;
        wraps += grid->Row() == 1;  // no point left without a value
    }
    rss.push_back(form->DeliverWaiting(20000) ? HeapKb() : -1);
    ASSERT_TRUE(messages.empty()) << messages[0].text.toStdString();
    EXPECT_EQ(form->SavedCount(), values);
    EXPECT_GT(wraps, 0) << "the input position never wrapped";

    // Memory: once the empty rows are filled (by three tenths of the values),
    // it stays flat. The heap moves by some hundred kB from one look to the
    // next (what Qt and the writer hold for a while): the middle of three
    // looks after the fill against the middle of the last three.
    const int settled = 3;
    auto middle = [&](size_t from) {
        std::array<long, 3> three{rss[from], rss[from + 1], rss[from + 2]};
        std::sort(three.begin(), three.end());
        return three[1];
    };
    long grownKb = middle(rss.size() - 3) - middle(settled);
    int valuesSince = values - (settled + 1) * (values / samples);
    std::printf("values %d (readings %d, wraps %d); heap kB at each tenth:", values, readings, wraps);
    for (long kb : rss) std::printf(" %ld", kb);
    std::printf("\n");
    std::printf("growth over the last %d values: %ld kB, %.0f bytes per value\n", valuesSince, grownKb,
                grownKb * 1024.0 / valuesSince);
    EXPECT_LT(grownKb * 1024.0 / valuesSince, 150.0) << "bytes per value";

    // Time per value: the mean of the last values against the first. CPU time
    // of this thread decides (other processes on the machine do not count in
    // it); wall time is shown.
    double cpuFirst = Mean(cpu, 0, window), cpuLast = Mean(cpu, values - window, values);
    double wallFirst = Mean(wall, 0, window), wallLast = Mean(wall, values - window, values);
    std::printf("mean ms per value, first %d / last %d: cpu %.3f / %.3f, wall %.3f / %.3f\n", window, window,
                cpuFirst * 1e3, cpuLast * 1e3, wallFirst * 1e3, wallLast * 1e3);
    EXPECT_LT(cpuLast, cpuFirst * 2.0 + 0.0005);

    ExpectEveryWorkbookHoldsTheLastValues();
}

// What the load above measures, on a single entry: the boxes emptied after an
// entry keep nothing of what was typed.
TEST_F(Load, BoxesEmptiedAfterAnEntryKeepNoUndoSteps) {
    Prepare();
    Type("1234.5");
    EXPECT_EQ(Child<QLineEdit>(*form, "numberEntryBox")->text(), "");
    EXPECT_FALSE(Child<QLineEdit>(*form, "numberEntryBox")->isUndoAvailable());
    QTest::keyClicks(Child<QLineEdit>(*form, "textEntryBox"), "ok");
    QTest::mouseClick(Child<QPushButton>(*form, "enterTextButton"), Qt::LeftButton);
    EXPECT_EQ(Child<QLineEdit>(*form, "textEntryBox")->text(), "");
    EXPECT_FALSE(Child<QLineEdit>(*form, "textEntryBox")->isUndoAvailable());
    QTest::keyClicks(Child<QLineEdit>(*form, "numberEntryBox"), "12");
    QTest::keyClicks(Child<QLineEdit>(*form, "textEntryBox"), "ab");
    form->startMeasuring();
    EXPECT_FALSE(Child<QLineEdit>(*form, "numberEntryBox")->isUndoAvailable());
    EXPECT_FALSE(Child<QLineEdit>(*form, "textEntryBox")->isUndoAvailable());
}
