// The lock between stations on one computer's view of a folder: what a lock
// file says, when it is taken over, how it is kept fresh, how it is named.
// Several computers are exercised by the network tests.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <thread>

#include "common/text_file.h"
#include "common/this_computer.h"
#include "faulty_disk.h"
#include "platform/file_lock.h"
#include "platform/root_in_use.h"
#include "platform/share_lock.h"
#include "platform/station_identity.h"
#include "temp_root.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

// Sets a file's modification time `seconds` before now.
void AgeFile(const std::string& path, int seconds) {
    struct timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::int64_t AgeSeconds(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return static_cast<std::int64_t>(time(nullptr)) - st.st_mtim.tv_sec;
}

pid_t GonePid() {
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    return gone;
}

}  // namespace

TEST(ShareLock, DetailsNameTheHolderAndOtherFilesAreNotTakenForOurs) {
    LockHolder holder{4242, ThisComputer(), "0123456789abcdef0123456789abcdef"};
    std::string text = LockDetails(holder, 7);
    auto parsed = ParseLockDetails(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->pid, 4242);
    EXPECT_EQ(parsed->computer, holder.computer);
    EXPECT_EQ(parsed->station, holder.station);
    EXPECT_NE(LockDetails(holder, 8), text) << "each hold is told apart from the others of its station";
    // Cut short by a slow write, another program's lock, nonsense.
    for (std::string other : {std::string(), text.substr(0, text.size() / 2), std::string("4242\nqt-app\nhost\nuuid\n"),
                              std::string("-1\nziv\nh\nc\ns\nt\n"), std::string("12x\nziv\nh\nc\ns\nt\n")})
        EXPECT_FALSE(ParseLockDetails(other)) << other;
}

// A lock file without readable details may be one whose holder is still
// writing them on a slow share: it stands until it has not been written for
// the stale time by the server's clock, and then goes.
TEST(ShareLock, LockWithoutDetailsStandsUntilItIsStale) {
    TempRoot root;
    std::string file = root / "Directory.dat";
    WriteBytes(LockFilePath(file), "");
    EXPECT_FALSE(StationFileLocks().Lock(file, LockWait::Patient)) << "taken from a holder that may be alive";
    EXPECT_TRUE(FileExists(LockFilePath(file)));
    AgeFile(LockFilePath(file), kStaleLockMs / 1000 + 2);
    auto hold = StationFileLocks().Lock(file, LockWait::Patient);
    ASSERT_TRUE(hold);
    EXPECT_TRUE(hold->StillHeld());
    EXPECT_TRUE(ParseLockDetails(ReadBytes(LockFilePath(file))));
}

// A holder on this computer whose process is gone is known dead at once, as
// is its half-finished removal of another lock.
TEST(ShareLock, LockOfADeadProcessOfThisComputerIsTakenAtOnce) {
    TempRoot root;
    std::string file = root / "Data.dat";
    std::string details = LockDetails({GonePid(), ThisComputer(), StationIdentity(root.path())}, 1);
    WriteBytes(LockFilePath(file), details);
    WriteBytes(LockFilePath(file, ".lock.rmlock"), details);
    // Also by a taker that does not wait: the left lock is removed and the
    // lock taken in the same try.
    auto hold = StationFileLocks().Lock(file, LockWait::Once);
    ASSERT_TRUE(hold);
    EXPECT_FALSE(FileExists(LockFilePath(file, ".lock.rmlock")));
    hold.reset();
    EXPECT_FALSE(FileExists(LockFilePath(file)));

    // The same details from another computer (a clone of this one sharing its
    // host name) cannot be asked about their process: only age tells.
    WriteBytes(LockFilePath(file), LockDetails({GonePid(), "another-boot/pid:[1]", "x"}, 1));
    EXPECT_FALSE(StationFileLocks().Lock(file, LockWait::Patient));
}

// A holder rewrites its details while it holds the lock, so that a waiter on
// any computer, by the server's clock, sees it alive during a long write.
TEST(ShareLock, HolderKeepsItsLockFreshAndLetsGoOnlyOfItsOwn) {
    TempRoot root;
    std::string file = root / "book.xls";
    auto hold = StationFileLocks().Lock(file, LockWait::Patient);
    ASSERT_TRUE(hold);
    AgeFile(LockFilePath(file), 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(kLockRefreshMs + 700));
    EXPECT_LE(AgeSeconds(LockFilePath(file)), 2);

    // Taken over by a station that judged this one dead: the file must not
    // be replaced from what this holder read, nor the new lock removed.
    std::string other = LockDetails({1, "another-boot/pid:[1]", "y"}, 9);
    WriteBytes(LockFilePath(file), other);
    EXPECT_FALSE(hold->StillHeld());
    WriteBytes(file, "old");
    FileResult written = WriteFileAtomic(file, "new", nullptr, [&] { return hold->StillHeld(); });
    EXPECT_EQ(written.failure, Failure::Busy);
    EXPECT_EQ(ReadBytes(file), "old");
    hold.reset();
    EXPECT_EQ(ReadBytes(LockFilePath(file)), other);
}

// "<name>.lock" of a name of 251-255 bytes is longer than a file name may
// be; the lock must still be made (and be told apart from the lock of a name
// that starts alike), or the save would go ahead unlocked.
TEST(ShareLock, LongNamesAreLockedUnderNamesThatFit) {
    TempRoot root;
    std::string stem = root / "";
    std::string a = stem + std::string(251, 'a'), b = stem + std::string(250, 'a') + "b";
    std::string kana = stem + std::string(1, 'x');
    for (int k = 0; k < 84; ++k) kana += "日";  // 253 bytes, cut between characters
    for (const std::string& name : {a, b, kana}) {
        std::string lock = LockFilePath(name), removal = LockFilePath(name, ".lock.rmlock");
        EXPECT_LE(fs::path(lock).filename().string().size(), static_cast<size_t>(NAME_MAX));
        EXPECT_LE(fs::path(removal).filename().string().size(), static_cast<size_t>(NAME_MAX));
        EXPECT_EQ(FromCp932(*ToCp932(fs::path(lock).filename().string())), fs::path(lock).filename().string());
    }
    EXPECT_NE(LockFilePath(a), LockFilePath(b));
    EXPECT_EQ(LockFilePath(stem + "short.xls"), stem + "short.xls.lock");

    auto hold = StationFileLocks().Lock(a, LockWait::Patient);
    ASSERT_TRUE(hold);
    EXPECT_TRUE(FileExists(LockFilePath(a)));
    EXPECT_TRUE(hold->StillHeld());
    EXPECT_FALSE(StationFileLocks().Lock(a, LockWait::Patient)) << "a second holder of the same long name";
    EXPECT_TRUE(StationFileLocks().Lock(b, LockWait::Patient)) << "a different long name with the same start";
}

TEST(StationIdentity, MadeOnceKeptAndNeverShared) {
    TempRoot one, two;
    std::string first = StationIdentity(one.path());
    EXPECT_EQ(first.size(), 32u);
    EXPECT_EQ(StationIdentity(one.path()), first);
    EXPECT_TRUE(FileExists(StationIdentityPath(one.path())));
    EXPECT_NE(StationIdentity(two.path()), first);
    WriteBytes(StationIdentityPath(one.path()), "damaged\r\n");
    std::string remade = StationIdentity(one.path());
    EXPECT_EQ(remade.size(), 32u);
    EXPECT_EQ(StationIdentity(one.path()), remade);
}

// A clone of a set-up PC carries the root, host name and machine id along;
// it must not write under the first PC's identity. A reboot, or a card added,
// keeps it.
TEST(StationIdentity, BoundToTheSystemThatMadeIt) {
    SystemFacts pc{"pc", "", {"02:00:00:00:00:0a"}, "m1"};
    SystemFacts clone{"pc", "", {"02:00:00:00:00:0b"}, "m1"};
    struct Case {
        SystemFacts made, now;
        bool same;
    } cases[] = {
        {pc, {"pc", "", {"02:00:00:00:00:0a", "02:00:00:00:00:0c"}, "m1"}, true},
        {pc, clone, false},
        {pc, {"pc2", "", {"02:00:00:00:00:0a"}, "m1"}, false},
        {{"pc", "b1", {"x"}, "m1"}, {"pc", "b1", {"y"}, "m1"}, true},
        {{"pc", "b1", {"x"}, "m1"}, {"pc", "b2", {"x"}, "m1"}, false},
        {{"pc", "", {}, "m1"}, {"pc", "", {}, "m2"}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(SameSystem(c.made, c.now), c.same) << c.now.host << c.now.boardId;

    TempRoot one;
    std::string first = StationIdentity(one.path(), pc);
    TempRoot copy;
    fs::copy(one / "Config", copy / "Config", fs::copy_options::recursive);
    std::string cloned = StationIdentity(copy.path(), clone);
    EXPECT_NE(cloned, first);
    EXPECT_EQ(ReadStationRecords(copy.path()).back().replaced, first) << "the replaced identity is kept";
    EXPECT_EQ(StationIdentity(copy.path(), clone), cloned);
    EXPECT_EQ(StationIdentity(copy.path(), pc), first) << "a root shared by both PCs keeps each one's";
    EXPECT_EQ(StationIdentity(one.path(), pc), first);

    // Written before identities were bound: taken as this system's.
    WriteBytes(StationIdentityPath(one.path()), first + "\r\n");
    EXPECT_EQ(StationIdentity(one.path(), clone), first);
    EXPECT_EQ(StationIdentity(one.path(), clone), first);
}

// A root on a file server opened by a second PC while the first runs: the
// process ids of one computer mean nothing on the other, so the lock's age
// on the server's clock tells a live holder from one that died.
TEST(RootInUse, AnotherSystemsLiveHoldIsRefusedALeftOneTaken) {
    TempRoot root;
    std::string lock = RootInUsePath(root.path());
    fs::create_directories(root / "Config");
    auto details = [](long pid, const std::string& computer) {
        return std::to_string(pid) + "\nziv\npc-b\n" + computer + "\n";
    };
    struct Case {
        std::string details;
        int age;
        bool refused;
    } cases[] = {
        {details(::getpid(), "another-boot/pid:[1]"), 0, true},
        {details(GonePid(), "another-boot/pid:[1]"), 0, true},
        {details(::getpid(), "another-boot/pid:[1]"), kStaleLockMs / 1000 + 5, false},
        {details(GonePid(), ThisComputer()), 0, false},
        {details(::getpid(), ThisComputer()), 0, true},
        {"", 0, true},
    };
    for (const Case& c : cases) {
        WriteBytes(lock, c.details);
        if (c.age) AgeFile(lock, c.age);
        RootInUse taker;
        auto user = taker.Take(root.path());
        EXPECT_EQ(static_cast<bool>(user), c.refused) << c.details;
        if (c.refused) continue;
        EXPECT_TRUE(ReadBytes(lock).starts_with(std::to_string(::getpid()) + "\n")) << c.details;
        taker.Release();
        EXPECT_FALSE(FileExists(lock));
    }
    WriteBytes(lock, details(1, "another-boot/pid:[1]"));
    RootInUse refused;
    auto user = refused.Take(root.path());
    ASSERT_TRUE(user);
    EXPECT_NE(RootInUseText(root.path(), *user).find("別のコンピュータ（pc-b）"), std::string::npos);

    fs::remove(lock);
    RootInUse held;
    ASSERT_FALSE(held.Take(root.path()));
    AgeFile(lock, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(kLockRefreshMs + 700));
    EXPECT_LE(AgeSeconds(lock), 2) << "kept fresh while held";
}

// A station waiting out another's lock looks at it now and then; it makes no
// temporary and lists no folder at each try (ten waiters would flood the
// server). The folder's own events count the requests.
TEST(ShareLock, AWaiterBacksOffAndMakesNothingWhileItWaits) {
    TempRoot root;
    std::string file = root / "Directory.dat";
    WriteBytes(LockFilePath(file), LockDetails({1, "another-boot/pid:[1]", "x"}, 1));
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, root.path().c_str(), IN_CREATE | IN_OPEN), 0);
    EXPECT_FALSE(StationFileLocks().Lock(file, LockWait::Patient));
    int made = 0, listed = 0, opened = 0;
    alignas(inotify_event) char events[1 << 16];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;)
        for (char* at = events; at < events + n;) {
            auto* e = reinterpret_cast<inotify_event*>(at);
            made += (e->mask & IN_CREATE) != 0;
            listed += (e->mask & IN_OPEN) && (e->mask & IN_ISDIR) && e->len == 0;  // the folder itself
            opened += (e->mask & IN_OPEN) && !(e->mask & IN_ISDIR);
            at += sizeof(inotify_event) + e->len;
        }
    ::close(watch);
    EXPECT_LE(made, 3) << "temporaries and lock files made";
    EXPECT_LE(listed, 1) << "folder listings";
    EXPECT_LE(opened, 3 + 2 * kLockWaitMs / 1000 + 6) << "files opened";
}

// The rename a station asked for lands late (its link came back after
// another station took the lock over and saved): the save is not reported
// saved, so that it is made again, and the other's lock stays.
TEST(ShareLock, ARenameThatLandsAfterTheLockWasLostIsNotReportedSaved) {
    TempRoot root;
    std::string file = root / "book.xls";
    auto hold = StationFileLocks().Lock(file, LockWait::Patient);
    ASSERT_TRUE(hold);
    std::string other = LockDetails({1, "another-boot/pid:[1]", "y"}, 9);
    FaultyDisk late;
    late.writes = [&](WriteStep step, const std::string&) {
        if (step == WriteStep::Rename) WriteBytes(LockFilePath(file), other);
        return 0;
    };
    EXPECT_EQ(WriteFileAtomic(file, "late", nullptr, [&] { return hold->StillHeld(); }, late).failure, Failure::Busy);
    hold.reset();
    EXPECT_EQ(ReadBytes(LockFilePath(file)), other);
}
