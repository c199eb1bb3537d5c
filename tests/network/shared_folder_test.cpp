// Several stations on one product folder shared over sshfs: each station is a
// process of its own (this program started again), with its own installation
// root, typing into its own measurement window or designating points.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLineEdit>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "children.h"
#include "common/failure_text.h"
#include "drawing/point_table.h"
#include "links/instrument_link.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "share.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "workbook/workbook.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

constexpr char kProduct[] = "A-100";

// Station k types into rows k+1, k+1+stride, …; value i of station k.
int RowOf(int k, int stride, int rows, int i) { return k + 1 + stride * (i % rows); }
std::string ValueOf(int k, int i) { return std::to_string(1000 * (k + 1) + i); }

std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (auto& e : fs::recursive_directory_iterator(folder))
        if (e.path().filename().string().find(".ziv-tmp-") != std::string::npos) found.push_back(e.path());
    return found;
}

std::string TodaysBook(const std::string& product) {
    QDate d = QDate::currentDate();
    return DayBookPath(product, "検査員1", kProduct, 0,
                       {std::to_string(d.year()), std::to_string(d.month()), std::to_string(d.day())});
}

std::string Tail(const std::string& log) {
    std::ifstream in(log);
    std::string text(std::istreambuf_iterator<char>(in), {});
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
}

class SharedFolder : public ::testing::Test {
protected:
    TempRoot root;
    std::unique_ptr<SshfsShare> share;

    void SetUp() override {
        if (std::string why = SshfsShare::Unavailable(); !why.empty())
            GTEST_SKIP() << "no network file system for this test: " << why;
        share = std::make_unique<SshfsShare>(root / "net");
        ASSERT_TRUE(share->mounted()) << share->error();
    }
    void TearDown() override { share.reset(); }

    // The product with a master whose limits pass every value typed.
    std::string MakeSharedProduct() {
        std::string folder = share->mount() + "/製品/" + kProduct;
        fs::create_directories(folder);
        Workbook master = Workbook::New();
        for (int r = 1; r <= 100; ++r) {
            master.SetCell(1, r, 1, "5000");
            master.SetCell(1, r, 2, "5000");
            master.SetCell(1, r, 3, "-5000");
        }
        EXPECT_TRUE(master.SaveAs(folder + "/data.xls"));
        return folder;
    }
    // Stations skip the sanitizer's leak check at exit: with thread-local
    // storage left unscanned, the data of a Qt thread still ending then was
    // once reported as a leak. Every window's leaks are checked in the
    // single-process tests.
    pid_t Station(const std::string& filter, int k, const std::vector<std::string>& more) {
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        std::vector<std::string> env = {"ZIV_NET_STATION=" + std::to_string(k),
                                        "ZIV_NET_PRODUCTS=" + share->mount() + "/製品",
                                        std::string("ASAN_OPTIONS=") + (sanitizer ? sanitizer : "") + ":detect_leaks=0"};
        env.insert(env.end(), more.begin(), more.end());
        return StartSelf(filter, env, Log(k));
    }
    std::string Log(int k) { return root / ("station" + std::to_string(k) + ".log"); }
    std::string KilledStationsFolder() {
        std::string folder = root / "killed";
        fs::create_directories(folder);
        return folder;
    }
};

// ---- a station typing into its measurement window -----------------------------

class TypingStation : public StationFixture {};

}  // namespace

// Skipped unless started by a test below as one station.
TEST_F(TypingStation, Child) {
    std::string products = Env("ZIV_NET_PRODUCTS");
    if (products.empty()) GTEST_SKIP() << "runs only as a station started by SharedFolder tests";
    const int k = EnvInt("ZIV_NET_STATION", 0), stride = EnvInt("ZIV_NET_STRIDE", 4),
              rows = EnvInt("ZIV_NET_ROWS", 25), count = EnvInt("ZIV_NET_COUNT", 250),
              peers = EnvInt("ZIV_NET_PEERS", 0);
    ASSERT_TRUE(SaveProductFolder(ProductFolderFilePath(root.path()), products));
    Register({{0, products + "/" + kProduct}});
    auto form = Open();
    ASSERT_TRUE(form);
    Child<QCheckBox>(*form, "autoAdvanceBox")->setChecked(false);
    std::mt19937 rng(static_cast<unsigned>(k * 7919 + ::getpid()));
    std::uniform_int_distribution<int> pause(0, 3000);
    for (int i = 0; i < count; ++i) {
        form->Grid(0)->SetRow(RowOf(k, stride, rows, i));
        Child<QLineEdit>(*form, "numberEntryBox")->setText(QString::fromStdString(ValueOf(k, i)));
        form->enterNumber();
        std::this_thread::sleep_for(std::chrono::microseconds(pause(rng)));
    }
    // Every value in the workbook before the station ends or looks.
    ASSERT_TRUE(form->DeliverWaiting(60000));
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    if (peers == 0) return;
    // Once every station is done, one more save shows all their rows in the grid.
    std::ofstream(products + "/done-" + std::to_string(k)) << "done";
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (int p = 0; p < peers; ++p)
                if (!fs::exists(products + "/done-" + std::to_string(p))) return false;
            return true;
        },
        90000));
    int last = count - 1;
    form->Grid(0)->SetRow(RowOf(k, stride, rows, last));
    Child<QLineEdit>(*form, "numberEntryBox")->setText(QString::fromStdString(ValueOf(k, last)));
    form->enterNumber();
    ASSERT_TRUE(form->DeliverWaiting(60000));
    for (int p = 0; p < peers; ++p)
        for (int i = count - rows; i < count; ++i)
            EXPECT_EQ(Cell(*form, RowOf(p, stride, rows, i), 1), ValueOf(p, i)) << "station " << p << ", value " << i;
    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

TEST_F(SharedFolder, FourStationsTypingIntoOneDayWorkbookLoseNoValue) {
    std::string product = MakeSharedProduct();
    constexpr int kStations = 4, kCount = 250, kRows = 25;
    std::vector<pid_t> pids;
    for (int k = 0; k < kStations; ++k)
        pids.push_back(Station("TypingStation.Child", k,
                               {"ZIV_NET_COUNT=" + std::to_string(kCount), "ZIV_NET_PEERS=" + std::to_string(kStations)}));
    for (int k = 0; k < kStations; ++k) EXPECT_EQ(WaitChild(pids[k]), 0) << "station " << k << ":\n" << Tail(Log(k));
    // Read on the server's side, past every cache of the mount.
    std::string book = TodaysBook(share->served() + "/製品/" + kProduct);
    auto read = Workbook::Open(book);
    ASSERT_TRUE(read) << book;
    for (int k = 0; k < kStations; ++k)
        for (int i = kCount - kRows; i < kCount; ++i)
            EXPECT_EQ(read->CellText(1, RowOf(k, kStations, kRows, i), 5), ValueOf(k, i)) << "station " << k;
    EXPECT_EQ(Temporaries(share->served()), std::vector<std::string>{});
}

// ---- a station designating points -----------------------------------------------

TEST(DesigningStation, Child) {
    std::string products = Env("ZIV_NET_PRODUCTS");
    if (products.empty()) GTEST_SKIP() << "runs only as a station started by SharedFolder tests";
    const int k = EnvInt("ZIV_NET_STATION", 0);
    std::string path = PointTablePath(products + "/" + kProduct);
    PointTable table;
    ASSERT_NE(ReadPointTableFile(path, table), ReadStatus::Unreadable);
    for (int n = 1 + k * 50; n <= 50 + k * 50; ++n) {
        table.PosX[n] = static_cast<float>(n);
        table.PosY[n] = static_cast<float>(1000 + n);
        table.InstrumentIndex[n] = static_cast<std::int16_t>(k + 1);
        PointTable saved;
        FileResult r = SavePointTable(StationFiles(), path, table, &saved);
        ASSERT_TRUE(r) << FailureText(r);
        // Nothing designated here so far went missing in the merge.
        for (int m = 1 + k * 50; m <= n; ++m) ASSERT_EQ(saved.PosX[m], static_cast<float>(m)) << m;
        table = saved;
    }
}

TEST_F(SharedFolder, TwoStationsDesignatingPointsOfOneProductKeepBoth) {
    std::string product = MakeSharedProduct();
    pid_t a = Station("DesigningStation.Child", 0, {});
    pid_t b = Station("DesigningStation.Child", 1, {});
    EXPECT_EQ(WaitChild(a), 0) << Tail(Log(0));
    EXPECT_EQ(WaitChild(b), 0) << Tail(Log(1));
    PointTable table;
    ASSERT_TRUE(ReadPointTable(PointTablePath(share->served() + "/製品/" + kProduct), table));
    for (int n = 1; n <= 100; ++n) {
        EXPECT_EQ(table.PosX[n], static_cast<float>(n)) << "point " << n;
        EXPECT_EQ(table.PosY[n], static_cast<float>(1000 + n)) << "point " << n;
        EXPECT_EQ(table.InstrumentIndex[n], n <= 50 ? 1 : 2) << "point " << n;
    }
}

// ---- a station killed in the middle of its saves ---------------------------------

TEST_F(SharedFolder, StationKilledWhileSavingLeavesTheWorkbookWholeAndOthersGoOn) {
    std::string product = MakeSharedProduct();
    constexpr int kLive = 2, kCount = 120, kRows = 20;
    // Stations 0 and 1 type into rows 1, 4, 7 … and 2, 5, 8 …; station 2
    // into rows 3, 6, 9 … until it is killed, again and again.
    std::vector<pid_t> live;
    for (int k = 0; k < kLive; ++k)
        live.push_back(Station("TypingStation.Child", k,
                               {"ZIV_NET_COUNT=" + std::to_string(kCount), "ZIV_NET_STRIDE=3",
                                "ZIV_NET_ROWS=" + std::to_string(kRows)}));
    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> life(400, 1500);
    std::string book = TodaysBook(share->served() + "/製品/" + kProduct);
    int kills = 0;
    for (; kills < 4; ++kills) {
        // A killed station never clears its own root: it lies inside this test's.
        pid_t doomed = Station("TypingStation.Child", 2,
                               {"ZIV_NET_COUNT=100000", "ZIV_NET_STRIDE=3", "TMPDIR=" + KilledStationsFolder()});
        std::this_thread::sleep_for(std::chrono::milliseconds(life(rng)));
        ::kill(doomed, SIGKILL);
        EXPECT_EQ(WaitChild(doomed), -1);
        if (fs::exists(book)) {
            FileResult problem;
            EXPECT_TRUE(Workbook::Open(book, &problem)) << "after kill " << kills << ": " << BookOpenText(problem);
        }
    }
    // The live stations saw no failed save: no temporary of theirs was taken
    // away and the killed station's lock did not hold them up for good.
    for (int k = 0; k < kLive; ++k) EXPECT_EQ(WaitChild(live[k]), 0) << "station " << k << ":\n" << Tail(Log(k));
    auto read = Workbook::Open(book);
    ASSERT_TRUE(read);
    for (int k = 0; k < kLive; ++k)
        for (int i = kCount - kRows; i < kCount; ++i)
            EXPECT_EQ(read->CellText(1, RowOf(k, 3, kRows, i), 5), ValueOf(k, i)) << "station " << k;
    // A station after the kills clears what the killed one left.
    pid_t after = Station("TypingStation.Child", 2, {"ZIV_NET_COUNT=1", "ZIV_NET_STRIDE=3"});
    EXPECT_EQ(WaitChild(after), 0) << Tail(Log(2));
    EXPECT_EQ(Temporaries(share->served()), std::vector<std::string>{});
}
