// The station's queue of what could not be written yet: it must come back
// whole after the program ends, keep any text exactly, and never let a
// damaged file crash the station or vanish.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "common/text_file.h"
#include "records/save_queue.h"
#include "temp_root.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

class SaveQueueFile : public ::testing::Test {
protected:
    TempRoot root;
    std::string path = SaveQueuePath(root.path());

    void SetUp() override { fs::create_directories(root / "Config"); }
    void TearDown() override {
        SetWriteFaultHook(nullptr);
        SetReadFaultHook(nullptr);
    }

    // A station started anew on the same root.
    SaveQueue Restarted(SaveQueue::Loaded* loaded = nullptr) {
        SaveQueue queue(path);
        SaveQueue::Loaded l = queue.Load();
        if (loaded) *loaded = l;
        return queue;
    }
    static QueuedRow Row(const std::string& book, int row, const std::string& value) {
        return {book, 0, row, {"M", value, "合", "0.001"}};
    }
    // Files whose name tells they were kept aside.
    std::vector<std::string> KeptAside() {
        std::vector<std::string> found;
        for (auto& e : fs::directory_iterator(root / "Config"))
            if (e.path().filename().string().find("damaged") != std::string::npos) found.push_back(e.path());
        std::sort(found.begin(), found.end());
        return found;
    }
};

}  // namespace

TEST_F(SaveQueueFile, EveryChangeIsInTheFileAtOnceAndComesBackAfterARestart) {
    SaveQueue queue(path);
    EXPECT_EQ(queue.Load().status, ReadStatus::Missing);
    ASSERT_TRUE(queue.PutRow(Row("/p/A/data/a.xls", 3, "10.01")));
    ASSERT_TRUE(queue.PutRegistration({"/u/Directory.dat", 5, "/p/B"}));
    ASSERT_TRUE(queue.PutRow(Row("/p/A/data/b.xls", 1, "20")));
    ASSERT_TRUE(queue.PutRow(Row("/p/A/data/a.xls", 4, "10.02")));
    // Measured again: the newer value takes the place of the waiting one.
    ASSERT_TRUE(queue.PutRow(Row("/p/A/data/a.xls", 3, "10.03")));
    ASSERT_TRUE(queue.PutRegistration({"/u/Directory.dat", 5, ""}));

    SaveQueue::Loaded loaded;
    SaveQueue again = Restarted(&loaded);
    EXPECT_EQ(loaded.status, ReadStatus::Read);
    EXPECT_FALSE(loaded.damaged);
    EXPECT_EQ(again.Count(), 4u);
    EXPECT_EQ(again.Books(), (std::vector<std::string>{"/p/A/data/a.xls", "/p/A/data/b.xls"}));
    std::map<int, MeasuredRow> a = again.RowsOf("/p/A/data/a.xls");
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[3].Value, "10.03");
    EXPECT_EQ(a[4].Value, "10.02");
    EXPECT_EQ(again.RegistrationsOf("/u/Directory.dat"), (std::map<int, std::string>{{5, ""}}));

    // Taken out only while it still holds what was written: a value measured
    // again meanwhile stays.
    std::map<int, MeasuredRow> written = a;
    written[4].Value = "10.00";
    ASSERT_TRUE(again.RemoveRows("/p/A/data/a.xls", written));
    ASSERT_TRUE(again.RemoveRegistrations("/u/Directory.dat", {{5, ""}}));
    SaveQueue last = Restarted();
    EXPECT_EQ(last.Count(), 2u);
    EXPECT_EQ(last.RowsOf("/p/A/data/a.xls").size(), 1u);
    EXPECT_EQ(last.RowsOf("/p/A/data/a.xls").begin()->second.Value, "10.02");
    EXPECT_EQ(KeptAside(), std::vector<std::string>{});
}

TEST_F(SaveQueueFile, TextsTypedByTheOperatorAndPathsComeBackExactly) {
    const std::vector<std::string> awkward = {
        "",          "a\tb",        "line\nbreak", "cr\rlf\r\n",        "back\\slash\\", "\\t is not a tab",
        "\\",        "\x01\x1F\x7F", "検査員\t１",  "end\t3",            "R\t/p\t0\t1",   "trailing space ",
        "\\x41\\x4", "ZIV save queue 1"};
    SaveQueue queue(path);
    for (size_t i = 0; i < awkward.size(); ++i) {
        const std::string& t = awkward[i];
        int row = static_cast<int>(i) + 1;
        ASSERT_TRUE(queue.PutRow({"/p/" + t + "/data/x.xls", 7, row, {t, t + "1", t, "-" + t}}));
        ASSERT_TRUE(queue.PutRegistration({"/u/" + t + "/Directory.dat", row, "/p/" + t}));
    }
    // One line per entry, whatever the texts hold.
    auto lines = SplitLines(ReadBytes(path));
    EXPECT_EQ(lines.size(), 2 + 2 * awkward.size());

    SaveQueue::Loaded loaded;
    SaveQueue again = Restarted(&loaded);
    EXPECT_FALSE(loaded.damaged);
    ASSERT_EQ(again.Count(), 2 * awkward.size());
    for (size_t i = 0; i < awkward.size(); ++i) {
        const std::string& t = awkward[i];
        int row = static_cast<int>(i) + 1;
        auto rows = again.RowsOf("/p/" + t + "/data/x.xls");
        ASSERT_EQ(rows.size(), 1u) << i;
        EXPECT_EQ(rows[row], (MeasuredRow{t, t + "1", t, "-" + t})) << i;
        EXPECT_EQ(again.RegistrationsOf("/u/" + t + "/Directory.dat"), (std::map<int, std::string>{{row, "/p/" + t}}))
            << i;
    }
}

// A file the station did not write whole: whatever reads whole is kept, the
// file itself is moved aside for someone to look at, never written over.
TEST_F(SaveQueueFile, DamagedFileIsKeptAsideAndWhatReadsWholeStaysQueued) {
    SaveQueue queue(path);
    ASSERT_TRUE(queue.PutRow(Row("/p/data/a.xls", 1, "10.01")));
    ASSERT_TRUE(queue.PutRow(Row("/p/data/a.xls", 2, "10.02")));
    ASSERT_TRUE(queue.PutRow(Row("/p/data/a.xls", 3, "10.05")));
    const std::string whole = ReadBytes(path);

    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> values;  // of the rows still queued
    };
    std::string cut = whole.substr(0, whole.find("10.05") + 4);  // "10.0": a number still, but not the value
    std::string badLine = whole;
    badLine.replace(badLine.find("R\t/p/data/a.xls\t0\t2"), 1, "Q");
    std::string badRow = whole;
    badRow.replace(badRow.find("\t0\t2\t"), 5, "\t0\t999\t");
    const std::vector<Case> cases = {
        {"cut inside the last value", cut, {"10.01", "10.02"}},
        {"cut after a line", whole.substr(0, whole.find("end")), {"10.01", "10.02", "10.05"}},
        {"an unknown entry", badLine, {"10.01", "10.05"}},
        {"a row out of range", badRow, {"10.01", "10.05"}},
        {"a bad escape", std::string(whole).insert(whole.find("10.02"), "\\q"), {"10.01", "10.05"}},
        {"another format", "something else\n" + whole.substr(whole.find('\n') + 1), {}},
        {"empty", "", {}},
    };
    std::vector<std::string> aside;
    for (const Case& c : cases) {
        WriteBytes(path, c.bytes);
        SaveQueue::Loaded loaded;
        SaveQueue again = Restarted(&loaded);
        EXPECT_TRUE(loaded.damaged) << c.what;
        EXPECT_TRUE(loaded.problem) << c.what;
        EXPECT_EQ(loaded.salvaged, c.values.size()) << c.what;
        std::vector<std::string> values;
        for (auto& [r, row] : again.RowsOf("/p/data/a.xls")) values.push_back(row.Value);
        EXPECT_EQ(values, c.values) << c.what;
        // Kept under a name of its own, beside the earlier ones.
        aside.push_back(loaded.keptAside);
        EXPECT_EQ(KeptAside().size(), aside.size()) << c.what;
        EXPECT_EQ(ReadBytes(loaded.keptAside), c.bytes) << c.what;
        // What was read is in the queue's file again, whole.
        SaveQueue::Loaded reread;
        EXPECT_EQ(Restarted(&reread).Count(), c.values.size()) << c.what;
        EXPECT_FALSE(reread.damaged) << c.what;
        fs::remove(path);
    }
}

TEST_F(SaveQueueFile, QueueFileThatCannotBeWrittenOrReadIsNeverLostSilently) {
    SaveQueue queue(path);
    ASSERT_TRUE(queue.PutRow(Row("/p/data/a.xls", 1, "10.01")));
    const std::string before = ReadBytes(path);
    SetWriteFaultHook([&](WriteStep step, const std::string& p) { return step == WriteStep::Write && p == path ? ENOSPC : 0; });
    FileResult put = queue.PutRow(Row("/p/data/a.xls", 2, "10.02"));
    EXPECT_EQ(put.failure, Failure::WriteFailed);
    EXPECT_EQ(put.err, ENOSPC);
    EXPECT_EQ(put.path, path);
    // Still waiting in memory; the file keeps its last whole content.
    EXPECT_EQ(queue.Count(), 2u);
    EXPECT_EQ(ReadBytes(path), before);
    SetWriteFaultHook(nullptr);

    // A file that exists but cannot be read is moved aside, not written over.
    SetReadFaultHook([&](const std::string& p) { return p == path ? EIO : 0; });
    SaveQueue::Loaded loaded;
    SaveQueue unread = Restarted(&loaded);
    SetReadFaultHook(nullptr);
    EXPECT_EQ(loaded.status, ReadStatus::Unreadable);
    EXPECT_EQ(loaded.problem.failure, Failure::Unreadable);
    EXPECT_EQ(loaded.problem.err, EIO);
    ASSERT_FALSE(loaded.keptAside.empty());
    EXPECT_EQ(ReadBytes(loaded.keptAside), before);
    ASSERT_TRUE(unread.PutRow(Row("/p/data/b.xls", 1, "30")));
    EXPECT_EQ(ReadBytes(loaded.keptAside), before);
}
