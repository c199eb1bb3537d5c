// The gauges of F1..F10 and their calibration dates: kept beside RS232C.dat
// without touching it, read whatever a hand or a crash left in the file, and
// overdue only after the due date.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "common/text_file.h"
#include "faulty_disk.h"
#include "links/gauge_register.h"
#include "links/instrument_link.h"
#include "temp_root.h"

using namespace ziv;
using namespace std::chrono;

namespace {
Day Date(int y, unsigned m, unsigned d) { return Day{year{y}, month{m}, day{d}}; }
}  // namespace

TEST(GaugeFile, GaugesComeBackAsSavedAndNothingElseIsWrittenOver) {
    TempRoot root;
    std::filesystem::create_directories(root / "Config");
    const std::string path = GaugesFilePath(root.path());
    ASSERT_TRUE(WriteDefaultLinks(LinksFilePath(root.path())));
    const std::string links = ReadBytes(LinksFilePath(root.path()));
    Gauges gauges{};
    gauges[0] = {"MC-0012", Date(2025, 3, 31)};
    gauges[2] = {"ノギス No.3 = 左", std::nullopt};  // "=" and blanks belong to the number
    gauges[9] = {"", Date(2024, 2, 29)};
    ASSERT_TRUE(SaveGauges(path, gauges));
    EXPECT_EQ(ReadGauges(path).gauges, gauges);
    EXPECT_EQ(ReadBytes(LinksFilePath(root.path())), links);
    const std::string bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.starts_with(*ToCp932("F1管理番号=MC-0012\r\nF1校正期限=2025-03-31\r\nF2管理番号=\r\n")));

    Gauges broken = gauges;
    broken[4].ControlNumber = "MC\r\n5";
    FileResult refused = SaveGauges(path, broken);
    EXPECT_EQ(refused.failure, Failure::KeySettingLineBreak);
    EXPECT_EQ(refused.subject, "F5");
    FaultyDisk failing;
    failing.reads = [&](const std::string& p) { return p == path ? EIO : 0; };
    EXPECT_EQ(ReadGauges(path, failing).problem.failure, Failure::Unreadable);
    EXPECT_EQ(SaveGauges(path, Gauges{}, failing).failure, Failure::Unreadable) << "what it holds is not written over";
    EXPECT_EQ(ReadBytes(path), bytes);
}

TEST(GaugeFile, AMissingFileNamesNoGaugeAndLinesThatDoNotReadAreSkipped) {
    TempRoot root;
    const std::string path = root / "Gauges.dat";
    EXPECT_EQ(ReadGauges(path).status, ReadStatus::Missing);
    EXPECT_EQ(ReadGauges(path).gauges, Gauges{});
    WriteBytes(path, *ToCp932("F1管理番号=MC-1\r\n"
                              "F1校正期限=2025/4/1\r\n"  // as a person types it
                              "F2管理番号=CL-2\n"
                              "F2校正期限=2025-02-30\r\n"  // no such day
                              "F3校正期限= 2026-01-15 \r\n"
                              "F11管理番号=X\r\nF0管理番号=X\r\nF01管理番号=X\r\nF4測定器=X\r\nF4管理番号\r\n\r\n"
                              "F10管理番号=HG-10\r\nF10校正期限=2025-12-31"));
    GaugesRead read = ReadGauges(path);
    EXPECT_EQ(read.damaged, 6u);
    Gauges expected{};
    expected[0] = {"MC-1", Date(2025, 4, 1)};
    expected[1] = {"CL-2", std::nullopt};
    expected[2] = {"", Date(2026, 1, 15)};
    expected[9] = {"HG-10", Date(2025, 12, 31)};
    EXPECT_EQ(read.gauges, expected);
}

TEST(GaugeCalibration, AGaugeIsOverdueFromTheDayAfterItsDueDate) {
    const Gauge gauge{"MC-1", Date(2025, 3, 31)};
    EXPECT_FALSE(IsOverdue(gauge, Date(2025, 3, 31)));
    EXPECT_TRUE(IsOverdue(gauge, Date(2025, 4, 1)));
    EXPECT_FALSE(IsOverdue(Gauge{"MC-1", std::nullopt}, Date(2100, 1, 1)));
}
