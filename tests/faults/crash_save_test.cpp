// A process killed while it saves must leave every file either as it was or
// as it was to become: the saver runs in a child process that is killed with
// SIGKILL at random moments, and after each kill every file is read back with
// the system's own readers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "drawing/point_table.h"
#include "platform/paths.h"
#include "platform/share_lock.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "station/operator_record.h"
#include "station/rejection.h"
#include "temp_root.h"
#include "workbook/workbook.h"

extern char** environ;

using namespace ziv;
namespace fs = std::filesystem;

namespace {

constexpr char kFolderVariable[] = "ZIV_CRASH_FOLDER";
constexpr char kNotifyVariable[] = "ZIV_CRASH_NOTIFY_FD";
constexpr char kUser[] = "検査員1";
constexpr char kProductName[] = "A-100";
const WorkDate kDate{"2024", "3", "7"};
constexpr int kMachines = 48;

// Where the saver writes, below one folder.
struct Layout {
    std::string base;
    std::string ProductFolder() const { return base + "/製品"; }
    std::string Product() const { return ProductFolder() + "/" + kProductName; }
    std::string UserDir() const { return base + "/users/" + kUser; }
    std::string DayBook() const { return DayBookPath(Product(), kUser, kProductName, 0, kDate); }
    std::string Directory() const { return DirectoryFilePath(UserDir()); }
    std::string Points() const { return PointTablePath(Product()); }
    std::string LatestRecord() const { return OperatorRecordFolder(ProductFolder()) + "/" + kUser + ".txt"; }
    std::string RecordFolder() const { return OperatorRecordFolder(ProductFolder()) + "/" + kUser; }
    std::string RejectionFolder() const { return ziv::RejectionFolder(ProductFolder()); }
    void MakeFolders() const {
        for (const std::string& f : {DayBookFolder(Product()), UserDir(), RecordFolder(), RejectionFolder()})
            ASSERT_TRUE(ziv::MakeFolders(f)) << f;
    }
};

// ---- what version v of each file holds ----------------------------------------

std::string CellFor(long v, int row, int col) {
    if (row == 1 && col == 1) return DecimalText(v);
    return "版" + DecimalText(v) + "-" + DecimalText(row) + "-" + DecimalText(col);
}

Workbook BookVersion(long v) {
    Workbook book = Workbook::New();
    for (int r = 1; r <= 100; ++r)
        for (int c = 1; c <= 8; ++c) book.SetCell(1, r, c, CellFor(v, r, c));
    return book;
}

RejectionFacts RejectionVersion(long v) {
    return {kDate.Year, kDate.Month, kDate.Day, kUser, 0, kProductName, "10", "0.02", "-0.01", DecimalText(v)};
}

OperatorRecord RecordVersion(long v) {
    std::string log = OperatorLogStart("2024/3/7", 8, 0, {{0, kProductName}});
    return FinishOperatorRecord(log, ChargeText(1), static_cast<int>(v), 100, 8, 0, {2024, 3, 7, 17, 30});
}

ProductPathList DirectoryVersion(long v) {
    ProductPathList paths{};
    for (int k = 0; k < kMachines; ++k) paths[k] = "/製品/版" + DecimalText(v) + "/" + DecimalText(k);
    return paths;
}

PointTable TableVersion(long v) {
    PointTable table;
    for (int n = 0; n < kPointEntries; ++n) {
        table.PosX[n] = static_cast<float>(v);
        table.PosY[n] = static_cast<float>(n);
        table.InstrumentIndex[n] = static_cast<std::int16_t>(v % 10);
    }
    return table;
}

// One round of saves, in a fixed order; `done` is told after each file.
template <typename Done>
FileResult SaveVersion(const Layout& l, long v, Done done) {
    const std::function<FileResult()> saves[] = {
        [&] { return BookVersion(v).SaveAs(l.DayBook()); },
        [&] { return WriteRejectionFile(l.ProductFolder(), RejectionVersion(v)); },
        [&] { return WriteOperatorRecord(l.ProductFolder(), kUser, RecordVersion(v)); },
        [&] { return SaveDirectoryFile(StationFiles(), l.Directory(), DirectoryVersion(v)); },
        [&] { return SavePointTable(StationFiles(), l.Points(), TableVersion(v)); },
    };
    for (auto& save : saves) {
        FileResult result = save();
        if (!result) return result;
        done();
    }
    return {};
}

// ---- reading back -------------------------------------------------------------

long NumberAfter(const std::string& text, const std::string& mark) {
    size_t at = text.find(mark);
    if (at == std::string::npos) return -1;
    return std::strtol(text.c_str() + at + mark.size(), nullptr, 10);
}

// The version a file holds: 0 when it does not exist, -1 when it is not a
// complete version; `why` says what was wrong.
long BookOnDisk(const Layout& l, std::string* why) {
    if (!FileExists(l.DayBook())) return 0;
    FileResult problem;
    auto book = Workbook::Open(l.DayBook(), &problem);
    if (!book) {
        *why = "day workbook does not open: " + BookOpenText(problem);
        return -1;
    }
    long v = std::strtol(book->CellText(1, 1, 1).c_str(), nullptr, 10);
    auto cells = book->Cells(1);
    if (cells.size() != 800) {
        *why = "day workbook holds " + std::to_string(cells.size()) + " cells";
        return -1;
    }
    for (auto& [at, text] : cells)
        if (text != CellFor(v, at.first, at.second)) {
            *why = "day workbook cell " + std::to_string(at.first) + "," + std::to_string(at.second) + " = " + text;
            return -1;
        }
    return v;
}

long TextOnDisk(const std::string& path, const std::string& mark, const std::function<std::string(long)>& expected,
                std::string* why) {
    if (!FileExists(path)) return 0;
    auto lines = ReadTextLines(path);
    if (!lines) {
        *why = path + " cannot be read";
        return -1;
    }
    std::string text;
    for (auto& line : *lines) text += line + "\n";
    long v = NumberAfter(text, mark);
    if (v < 1 || *ToCp932(expected(v)) != ReadBytes(path)) {
        *why = path + " is not a complete version";
        return -1;
    }
    return v;
}

long RecordOnDisk(const Layout& l, std::string* why) {
    return TextOnDisk(l.LatestRecord(), "台担当\n\n", [](long v) { return RecordVersion(v).Content; }, why);
}

long DirectoryOnDisk(const Layout& l, std::string* why) {
    if (!FileExists(l.Directory())) return 0;
    auto paths = LoadDirectoryFile(l.Directory());
    if (!paths) {
        *why = "Directory.dat cannot be read";
        return -1;
    }
    long v = NumberAfter((*paths)[0], "/製品/版");
    std::string expected;
    for (auto& p : DirectoryVersion(v)) expected += p + "\r\n";
    if (v < 1 || *ToCp932(expected) != ReadBytes(l.Directory())) {
        *why = "Directory.dat is not a complete version";
        return -1;
    }
    return v;
}

long TableOnDisk(const Layout& l, std::string* why) {
    if (!FileExists(l.Points())) return 0;
    PointTable table;
    if (!ReadPointTable(l.Points(), table)) {
        *why = "Data.dat cannot be read";
        return -1;
    }
    long v = static_cast<long>(table.PosX[1]);
    if (v < 1 || table != TableVersion(v) || ReadBytes(l.Points()) != *ToCp932(PointTableText(TableVersion(v)))) {
        *why = "Data.dat is not a complete version";
        return -1;
    }
    return v;
}

// Files named after their version: every one must be whole, none may be ahead
// of the day workbook, and no version before the one in progress may be missing.
void CheckVersionedFolder(const std::string& folder, const std::string& mark,
                          const std::function<std::string(long)>& expected, long top, const char* what) {
    std::vector<bool> seen(static_cast<size_t>(top) + 2, false);
    for (auto& e : fs::directory_iterator(folder)) {
        std::string name = e.path().filename().string();
        if (name.find(".ziv-tmp-") != std::string::npos || !e.is_regular_file()) continue;
        long v = NumberAfter(name, mark);
        ASSERT_GE(v, 1) << what << ": " << name;
        ASSERT_LE(v, top) << what << " ahead of the day workbook: " << name;
        EXPECT_EQ(ReadBytes(e.path().string()), *ToCp932(expected(v))) << what << " torn: " << name;
        auto lines = ReadTextLines(e.path().string());
        EXPECT_TRUE(lines && !lines->empty()) << name;
        seen[static_cast<size_t>(v)] = true;
    }
    for (long v = 1; v < top; ++v) EXPECT_TRUE(seen[static_cast<size_t>(v)]) << what << " of version " << v << " lost";
}

// Temporaries left behind, per target name.
std::map<std::string, int> Temporaries(const std::string& base) {
    std::map<std::string, int> found;
    for (auto& e : fs::recursive_directory_iterator(base)) {
        std::string name = e.path().filename().string();
        size_t at = name.find(".ziv-tmp-");
        if (at != std::string::npos) ++found[e.path().parent_path().string() + "/" + name.substr(0, at)];
    }
    return found;
}

struct Versions {
    long book = 0, record = 0, directory = 0, table = 0;
};

// Everything a kill may leave: each file old or new, in the order of saving.
Versions CheckAfterKill(const Layout& l, const Versions& before, int kill) {
    Versions now;
    std::string why;
    now.book = BookOnDisk(l, &why);
    now.record = RecordOnDisk(l, &why);
    now.directory = DirectoryOnDisk(l, &why);
    now.table = TableOnDisk(l, &why);
    EXPECT_TRUE(why.empty()) << "after kill " << kill << ": " << why;
    long top = now.book;
    // Saved in this order: a later file is at the same version or one behind.
    std::vector<long> order = {now.book, now.record, now.directory, now.table};
    for (size_t i = 1; i < order.size(); ++i) {
        EXPECT_LE(order[i], order[i - 1]) << "after kill " << kill << ", file " << i;
        EXPECT_GE(order[i], top - 1) << "after kill " << kill << ", file " << i;
    }
    // Nothing goes back to an older version.
    EXPECT_GE(now.book, before.book) << kill;
    EXPECT_GE(now.record, before.record) << kill;
    EXPECT_GE(now.directory, before.directory) << kill;
    EXPECT_GE(now.table, before.table) << kill;
    CheckVersionedFolder(l.RejectionFolder(), "実測値［",
                         [](long v) { return RejectionContent(RejectionRecord(RejectionVersion(v))); }, top,
                         "rejection");
    CheckVersionedFolder(l.RecordFolder(), "台担当　", [](long v) { return RecordVersion(v).Content; }, top,
                         "operator record");
    // A killed writer may leave its one temporary; the next write of the same
    // file clears it, so they never pile up.
    for (auto& [target, count] : Temporaries(l.base)) EXPECT_EQ(count, 1) << "after kill " << kill << ": " << target;
    return now;
}

int KillCount() {
    const char* text = std::getenv("ZIV_KILLS");
    int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 50;
}

std::string EnvironmentEntry(const char* name, const std::string& value) { return std::string(name) + "=" + value; }

// Starts this test program again, running only the saver; its output goes to
// `log`, shown when it stops by itself.
pid_t StartSaver(const std::string& base, int notifyFd, const std::string& log) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (entry.rfind(std::string(kFolderVariable) + "=", 0) != 0 && entry.rfind(std::string(kNotifyVariable) + "=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back(EnvironmentEntry(kFolderVariable, base));
    env.push_back(EnvironmentEntry(kNotifyVariable, std::to_string(notifyFd)));
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = fs::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=CrashDuringSave.SaverChild";
    char* argv[] = {exe.data(), filter.data(), nullptr};
    int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t pid = fork();
    if (pid == 0) {
        if (output >= 0) {
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
        }
        execve(exe.c_str(), argv, envp.data());
        _exit(127);
    }
    if (output >= 0) ::close(output);
    return pid;
}

// Waits until the saver has finished `files` more files; false when it
// stopped on its own or nothing came for a long time.
bool WaitForFiles(int fd, int files) {
    while (files > 0) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0) return false;
        char buf[64];
        ssize_t n = ::read(fd, buf, std::min<size_t>(sizeof buf, static_cast<size_t>(files)));
        if (n <= 0) return false;
        files -= static_cast<int>(n);
    }
    return true;
}

// 2: a save failed; 3: the test stopped listening; other codes and signals
// come from a failed check or a sanitizer's report.
std::string HowItEnded(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "wait status " + std::to_string(status);
}

}  // namespace

// The saving process: saves round after round until it is killed. Skipped
// unless started by the test below.
TEST(CrashDuringSave, SaverChild) {
    const char* base = std::getenv(kFolderVariable);
    const char* notify = std::getenv(kNotifyVariable);
    if (!base || !notify) GTEST_SKIP() << "runs only as the process that CrashDuringSave kills";
    Layout l{base};
    int fd = std::atoi(notify);
    std::string why;
    // The round a kill cut short is saved again from its start.
    long v = std::max(1L, BookOnDisk(l, &why));
    ASSERT_TRUE(why.empty()) << why;
    for (;; ++v) {
        FileResult saved = SaveVersion(l, v, [fd] {
            char one = 1;
            if (::write(fd, &one, 1) != 1) _exit(3);
        });
        if (!saved) {
            std::fprintf(stderr, "version %ld: %s\n", v, FailureText(saved).c_str());
            _exit(2);
        }
    }
}

TEST(CrashDuringSave, EveryFileIsTheOldOrTheNewVersionAfterEachKill) {
    TempRoot root;
    Layout l{root / "crash"};
    l.MakeFolders();
    const std::string log = root / "saver.log";
    const int kills = KillCount();
    unsigned seed = std::random_device{}();
    if (const char* s = std::getenv("ZIV_CRASH_SEED")) seed = static_cast<unsigned>(std::strtoul(s, nullptr, 10));
    SCOPED_TRACE("ZIV_CRASH_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> filesBeforeKill(1, 12);
    std::uniform_int_distribution<int> microsecondsBeforeKill(0, 4000);
    ::signal(SIGPIPE, SIG_IGN);

    Versions versions;
    int insideWrite = 0, betweenFiles = 0;
    for (int kill = 1; kill <= kills; ++kill) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        pid_t pid = StartSaver(l.base, fds[1], log);
        ::close(fds[1]);
        ASSERT_GT(pid, 0);
        bool running = WaitForFiles(fds[0], filesBeforeKill(rng));
        std::this_thread::sleep_for(std::chrono::microseconds(microsecondsBeforeKill(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ::close(fds[0]);
        ASSERT_TRUE(running) << "the saver stopped by itself before kill " << kill << ": " << HowItEnded(status)
                             << "\n" << ReadBytes(log);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the saver ended with status " << status << " before kill " << kill;
        Versions now = CheckAfterKill(l, versions, kill);
        if (::testing::Test::HasFailure()) break;
        insideWrite += !Temporaries(l.base).empty();
        betweenFiles += now.book != now.table;
        versions = now;
    }
    EXPECT_GT(versions.book, 1);
    std::printf("kills: %d (inside a write: %d, between two files of a round: %d), last version: %ld\n", kills,
                insideWrite, betweenFiles, versions.book);

    // A later run goes on where the kills left it and leaves no temporary.
    long v = versions.book;
    ASSERT_TRUE(SaveVersion(l, v, [] {}));
    ASSERT_TRUE(SaveVersion(l, v + 1, [] {}));
    EXPECT_TRUE(Temporaries(l.base).empty());
    Versions last = CheckAfterKill(l, versions, kills + 1);
    EXPECT_EQ(last.book, v + 1);
    EXPECT_EQ(last.table, v + 1);
}

// ---- temporaries of a writer that died ------------------------------------------

TEST(StaleTemporaries, LeftoversOfTheSameFileAreRemovedByTheNextWrite) {
    TempRoot root;
    std::string folder = root / "d";
    ASSERT_TRUE(MakeFolders(folder));
    std::string target = folder + "/Directory.dat";
    std::string mine = folder + "/.Directory.dat.ziv-tmp-a1B2c3";
    std::string mineToo = folder + "/.Directory.dat.ziv-tmp-ZZZZZZ";
    std::string other = folder + "/.Data.dat.ziv-tmp-a1B2c3";
    std::string userFile = folder + "/.Directory.dat.ziv-tmp-notes.txt";
    for (const std::string& f : {mine, mineToo, other, userFile}) WriteBytes(f, "half a file");
    ASSERT_TRUE(WriteTextFile(target, "new\r\n"));
    EXPECT_EQ(ReadBytes(target), "new\r\n");
    EXPECT_FALSE(FileExists(mine));
    EXPECT_FALSE(FileExists(mineToo));
    EXPECT_TRUE(FileExists(other));     // another file's: left for its own next write
    EXPECT_TRUE(FileExists(userFile));  // not a name the writer makes
    ASSERT_TRUE(WriteTextFile(folder + "/Data.dat", "x\r\n"));
    EXPECT_FALSE(FileExists(other));
}

TEST(StaleTemporaries, TemporaryOfALiveWriterStaysAndTheFolderIsNotListedAtEveryWrite) {
    TempRoot root;
    std::string folder = root / "d";
    ASSERT_TRUE(MakeFolders(folder));
    std::string busy = folder + "/.Users.dat.ziv-tmp-Qw3rTy";
    WriteBytes(busy, "being written");
    // Another process writing the same file holds a lock on its temporary.
    int fd = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    ASSERT_TRUE(WriteTextFile(folder + "/Users.dat", "検査員1\r\n"));
    EXPECT_TRUE(FileExists(busy));
    ::close(fd);
    // The folder is not listed again at the next write: a share serving
    // fifty stations is asked for it once in a while only.
    ASSERT_TRUE(WriteTextFile(folder + "/Users.dat", "検査員2\r\n"));
    EXPECT_TRUE(FileExists(busy));
}

TEST(StaleTemporaries, FileWithTheLongestNameIsWrittenWhole) {
    TempRoot root;
    std::string folder = root / "d";
    ASSERT_TRUE(MakeFolders(folder));
    std::string name;
    for (int i = 0; i < 83; ++i) name += "測";
    name += "ab.txt";
    ASSERT_EQ(name.size(), 255u);
    ASSERT_TRUE(WriteTextFile(folder + "/" + name, "一\r\n"));
    ASSERT_TRUE(WriteTextFile(folder + "/" + name, "二\r\n"));
    EXPECT_EQ(ReadBytes(folder + "/" + name), *ToCp932("二\r\n"));
    EXPECT_TRUE(Temporaries(folder).empty());
}
