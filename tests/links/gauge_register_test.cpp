// The gauges of F1..F10 and their calibration dates: kept beside RS232C.dat
// without touching it, read whatever a hand or a crash left in the file, and
// a gauge counts as overdue only after its last day.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "common/text_file.h"
#include "links/gauge_register.h"
#include "links/instrument_link.h"
#include "temp_root.h"

using namespace ziv;
using namespace std::chrono;
namespace fs = std::filesystem;

namespace {

Day Date(int y, unsigned m, unsigned d) { return Day{year{y}, month{m}, day{d}}; }

class GaugeFile : public ::testing::Test {
protected:
    TempRoot root;
    std::string path = GaugesFilePath(root.path());
    void SetUp() override { fs::create_directories(root / "Config"); }
    void TearDown() override { SetReadFaultHook(nullptr); }
};

}  // namespace

TEST_F(GaugeFile, GaugesComeBackAsSavedAndTheInstrumentFileStaysAsItIs) {
    EXPECT_EQ(path, root / "Config/Gauges.dat");
    ASSERT_TRUE(WriteDefaultLinks(LinksFilePath(root.path())));
    const std::string links = ReadBytes(LinksFilePath(root.path()));

    Gauges gauges{};
    gauges[0] = {"MC-0012", Date(2025, 3, 31)};
    gauges[2] = {"ノギス No.3 = 左", std::nullopt};  // "=" and blanks belong to the number
    gauges[9] = {"", Date(2024, 2, 29)};
    ASSERT_TRUE(SaveGauges(path, gauges));
    GaugesRead read = ReadGauges(path);
    EXPECT_EQ(read.status, ReadStatus::Read);
    EXPECT_EQ(read.damaged, 0u);
    EXPECT_EQ(read.gauges, gauges);
    EXPECT_EQ(ReadBytes(LinksFilePath(root.path())), links);

    // Shift_JIS with CR LF, as the other settings files a person may open.
    const std::string bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.starts_with(*ToCp932("F1管理番号=MC-0012\r\nF1校正期限=2025-03-31\r\nF2管理番号=\r\n")));
    EXPECT_EQ(SplitLines(bytes).size(), 20u);
}

TEST_F(GaugeFile, AMissingFileNamesNoGaugeAndLinesThatDoNotReadAreSkipped) {
    GaugesRead none = ReadGauges(path);
    EXPECT_EQ(none.status, ReadStatus::Missing);
    EXPECT_EQ(none.gauges, Gauges{});

    const std::string text =
        "F1管理番号=MC-1\r\n"
        "F1校正期限=2025/4/1\r\n"     // the form a person types
        "F2管理番号=CL-2\n"           // a line end of another editor
        "F2校正期限=2025-02-30\r\n"   // no such day
        "F3校正期限= 2026-01-15 \r\n"
        "F11管理番号=X\r\n"           // no such key
        "F0管理番号=X\r\n"
        "F01管理番号=X\r\n"
        "F4測定器=X\r\n"
        "F4管理番号\r\n"
        "\r\n"
        "F10管理番号=HG-10\r\n"
        "F10校正期限=2025-12-31";     // cut before its line end: the date is whole
    WriteBytes(path, *ToCp932(text));
    GaugesRead read = ReadGauges(path);
    EXPECT_EQ(read.damaged, 6u);
    Gauges expected{};
    expected[0] = {"MC-1", Date(2025, 4, 1)};
    expected[1] = {"CL-2", std::nullopt};
    expected[2] = {"", Date(2026, 1, 15)};
    expected[9] = {"HG-10", Date(2025, 12, 31)};
    EXPECT_EQ(read.gauges, expected);
}

TEST_F(GaugeFile, NothingIsWrittenOverAFileThatCannotBeReadNorWithALineBreak) {
    Gauges gauges{};
    gauges[0] = {"MC-1", Date(2025, 4, 1)};
    ASSERT_TRUE(SaveGauges(path, gauges));
    const std::string before = ReadBytes(path);

    Gauges broken = gauges;
    broken[4].ControlNumber = "MC\r\n5";
    FileResult refused = SaveGauges(path, broken);
    EXPECT_EQ(refused.failure, Failure::KeySettingLineBreak);
    EXPECT_EQ(refused.subject, "F5");
    EXPECT_EQ(ReadBytes(path), before);

    SetReadFaultHook([&](const std::string& p) { return p == path ? EIO : 0; });
    GaugesRead unread = ReadGauges(path);
    EXPECT_EQ(unread.status, ReadStatus::Unreadable);
    EXPECT_EQ(unread.problem.failure, Failure::Unreadable);
    FileResult kept = SaveGauges(path, Gauges{});
    EXPECT_EQ(kept.failure, Failure::Unreadable);
    EXPECT_EQ(kept.err, EIO);
    SetReadFaultHook(nullptr);
    EXPECT_EQ(ReadBytes(path), before);
}

TEST(GaugeCalibration, AGaugeIsOverdueFromTheDayAfterItsDueDate) {
    const Gauge gauge{"MC-1", Date(2025, 3, 31)};
    EXPECT_FALSE(IsOverdue(gauge, Date(2024, 12, 31)));
    EXPECT_FALSE(IsOverdue(gauge, Date(2025, 3, 31)));
    EXPECT_TRUE(IsOverdue(gauge, Date(2025, 4, 1)));
    EXPECT_TRUE(IsOverdue(gauge, Date(2026, 1, 1)));
    EXPECT_FALSE(IsOverdue(Gauge{"MC-1", std::nullopt}, Date(2100, 1, 1)));
}
