#include "common/text_file.h"

#include "common/durable_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/this_computer.h"

namespace ziv {
namespace {

struct Iconv {
    iconv_t cd;
    Iconv(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

// Converts, calling onBad at each sequence iconv refuses; onBad returns false to give up.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out,
             const std::function<bool(std::string&)>& onBad) {
    Iconv conv(to, from);
    if (conv.cd == reinterpret_cast<iconv_t>(-1)) return false;
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(conv.cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            if (!onBad(out)) return false;
            // Skip one byte of a bad or truncated sequence and go on.
            ++src;
            --srcLeft;
            iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return true;
}

FileResult WriteFailed(const std::string& path, WriteStep step, int err) {
    FileResult result = Failed(Failure::WriteFailed, path, err);
    result.step = step;
    return result;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

constexpr char kTempMarker[] = ".ziv-tmp-";
constexpr size_t kTempSuffixLength = 6;  // the XXXXXX of mkostemp
// A temporary names its writer: computer and process, 8 hex digits each.
constexpr size_t kTagLength = 8 + 1 + 8 + 1;
// A temporary of another computer cannot be asked about its writer; it is
// only taken as dead once the share's clock says it has not been touched for
// far longer than any write lasts.
constexpr std::int64_t kForeignTemporaryAgeNs = 10LL * 60 * 1000000000;

// The temporary must fit wherever the target's name fits: the start of a long
// name stands for it, cut between characters.
std::string TempStem(const std::string& name) {
    constexpr size_t kRoom = NAME_MAX - 1 - (sizeof kTempMarker - 1) - kTagLength - kTempSuffixLength;
    size_t end = std::min(name.size(), kRoom);
    while (end > 0 && end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return "." + name.substr(0, end) + kTempMarker;
}

std::string Hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// The computer whose process numbers the tag's pid is one of.
const std::string& ComputerTag() {
    static const std::string tag = Hex8(static_cast<std::uint32_t>(std::hash<std::string>{}(ThisComputer())));
    return tag;
}

std::string WriterTag() { return ComputerTag() + "-" + Hex8(static_cast<std::uint32_t>(::getpid())) + "-"; }

std::int64_t ModifiedNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The stamp of bytes that are (or were just made) the file's content.
FileStamp StampOf(std::string_view bytes, std::int64_t modifiedNs) {
    return {true, bytes.size(), modifiedNs, std::hash<std::string_view>{}(bytes)};
}

// The same, with the modification time of the file at path.
FileStamp StampOfWritten(const std::string& path, std::string_view bytes) {
    struct stat st {};
    return StampOf(bytes, ::stat(path.c_str(), &st) == 0 ? ModifiedNs(st) : 0);
}

bool IsHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// A writer killed mid-write is rare, and fifty stations writing into one
// share must not list its folders at every save: the temporaries of a file
// are looked for at its first write of this run and then every ten minutes.
class Sweeps {
public:
    static constexpr std::chrono::minutes kEvery{10};
    static bool Due(const std::string& folder, const std::string& name) {
        std::lock_guard<std::mutex> guard(Mutex());
        auto it = Last().find(folder + "/" + name);
        return it == Last().end() || std::chrono::steady_clock::now() - it->second >= kEvery;
    }
    static void Done(const std::string& folder, const std::string& name) {
        std::lock_guard<std::mutex> guard(Mutex());
        Last()[folder + "/" + name] = std::chrono::steady_clock::now();
    }

private:
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::map<std::string, std::chrono::steady_clock::time_point>& Last() {
        static std::map<std::string, std::chrono::steady_clock::time_point> last;
        return last;
    }
};

struct Leftover {
    std::string path;
    std::int64_t modifiedNs;
};

// A writer that was killed leaves its temporary behind. One of this computer
// is dead when its process is gone and nobody holds the lock on it; one
// without a writer's name (made before temporaries named their writer) when
// its lock is free. Those of other computers are returned, to be judged by
// their age once the share's clock is known.
std::vector<Leftover> RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
    std::vector<Leftover> foreign;
    const std::string prefix = TempStem(name);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return foreign;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view found(entry->d_name);
        if (found.substr(0, prefix.size()) != prefix) continue;
        std::string_view rest = found.substr(prefix.size());
        bool legacy = rest.size() == kTempSuffixLength;
        bool tagged = rest.size() == kTagLength + kTempSuffixLength && rest[8] == '-' && rest[17] == '-' &&
                      IsHex(rest.substr(0, 8)) && IsHex(rest.substr(9, 8));
        if (!legacy && !tagged) continue;
        std::string leftover = folder + "/" + std::string(found);
        bool ours = tagged && rest.substr(0, 8) == ComputerTag();
        if (ours) {
            auto pid = static_cast<long>(std::strtoul(std::string(rest.substr(9, 8)).c_str(), nullptr, 16));
            if (!ProcessGone(pid)) continue;
        }
        int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            if (tagged && !ours)
                foreign.push_back({leftover, ModifiedNs(st)});
            else if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
                ::unlink(leftover.c_str());
        }
        ::close(fd);
    }
    ::closedir(dir);
    Sweeps::Done(folder, name);
    return foreign;
}

void RemoveOldForeignTemporaries(const std::vector<Leftover>& foreign, std::int64_t shareNowNs) {
    for (const auto& f : foreign) {
        struct stat st {};
        // Looked at again: a writer that touched it since is alive.
        if (::lstat(f.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (shareNowNs - ModifiedNs(st) >= kForeignTemporaryAgeNs) ::unlink(f.path.c_str());
    }
}

}  // namespace

std::optional<std::string> ToCp932(std::string_view utf8) {
    std::string out;
    if (!Convert("CP932", "UTF-8", utf8, out, [](std::string&) { return false; })) return std::nullopt;
    return out;
}

std::string FromCp932(std::string_view bytes) {
    std::string out;
    Convert("UTF-8", "CP932", bytes, out, [](std::string& o) {
        o += "\xEF\xBF\xBD";
        return true;
    });
    return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

namespace {

// The whole file, or the errno that stopped it (EFBIG when it exceeds limit,
// EISDIR for anything that is not a regular file).
int ReadOnce(const std::string& path, size_t limit, std::string& data, struct stat* opened) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st {};
    int err = 0;
    if (fstat(fd, &st) != 0) err = errno;
    else if (!S_ISREG(st.st_mode)) err = EISDIR;
    else if (static_cast<size_t>(st.st_size) > limit) err = EFBIG;
    if (opened) *opened = st;
    char buf[65536];
    while (!err) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
        } else if (n == 0) {
            break;
        } else {
            data.append(buf, static_cast<size_t>(n));
            if (data.size() > limit) err = EFBIG;
        }
    }
    ::close(fd);
    if (err) data.clear();
    return err;
}

int ReadWhole(Disk& disk, const std::string& path, size_t limit, std::string& data, struct stat* opened = nullptr) {
    // Another computer replacing the file on the file server while it is read
    // leaves this one's handle stale: the path then names the new file.
    int err = ESTALE;
    for (int attempt = 0; attempt < 3 && err == ESTALE; ++attempt) {
        err = disk.ReadFault(path);
        if (!err) err = ReadOnce(path, limit, data, opened);
    }
    return err;
}

bool MeansMissing(int err) { return err == ENOENT || err == ENOTDIR; }

}  // namespace

bool FitsOneLine(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

std::optional<std::string> ReadWholeFile(const std::string& path, Disk& disk, size_t limit) {
    std::string data;
    if (ReadWhole(disk, path, limit, data) != 0) return std::nullopt;
    return data;
}

constexpr size_t kTextFileLimit = 256u << 20;

TextRead ReadTextFile(const std::string& path, Disk& disk) {
    TextRead result;
    std::string bytes;
    int err = ReadWhole(disk, path, kTextFileLimit, bytes);
    if (err == 0) {
        result.status = ReadStatus::Read;
        result.lines = SplitLines(FromCp932(bytes));
    } else if (MeansMissing(err)) {
        result.status = ReadStatus::Missing;
    } else {
        result.status = ReadStatus::Unreadable;
        result.err = err;
    }
    return result;
}

std::optional<std::vector<std::string>> ReadTextLines(const std::string& path, Disk& disk) {
    TextRead r = ReadTextFile(path, disk);
    if (!r.read()) return std::nullopt;
    return std::move(r.lines);
}

FileResult WriteTextFile(const std::string& path, std::string_view utf8, Disk& disk) {
    auto bytes = ToCp932(utf8);
    if (!bytes) return Failed(Failure::NotShiftJis, path);
    return WriteFileAtomic(path, *bytes, nullptr, {}, disk);
}

Temporary MakeTemporaryBeside(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    Temporary temp;
    temp.path = FolderOf(path) + "/" + TempStem(name) + WriterTag() + "XXXXXX";
    temp.fd = mkostemp(temp.path.data(), O_CLOEXEC);
    if (temp.fd < 0) {
        temp.err = errno;
        temp.path.clear();
        return temp;
    }
    ::flock(temp.fd, LOCK_EX | LOCK_NB);  // marks the temporary as in use until it is closed
    fchmod(temp.fd, 0644);
    return temp;
}

void RemoveLeftTemporaries(const std::string& path) {
    std::string folder = FolderOf(path);
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (!Sweeps::Due(folder, name)) return;
    std::vector<Leftover> foreign = RemoveStaleTemporaries(folder, name);
    if (foreign.empty()) return;
    if (auto now = ShareClockNs(path)) RemoveOldForeignTemporaries(foreign, *now);
}

std::optional<std::int64_t> ShareClockNs(const std::string& path) {
    Temporary probe = MakeTemporaryBeside(path);
    if (probe.fd < 0) return std::nullopt;
    struct stat st {};
    bool known = fstat(probe.fd, &st) == 0;
    ::close(probe.fd);
    ::unlink(probe.path.c_str());
    if (!known) return std::nullopt;
    return ModifiedNs(st);
}

namespace {
std::atomic<std::uint64_t> lateReplaces{0};
}  // namespace

std::uint64_t LateReplacesSoFar() { return lateReplaces.load(std::memory_order_relaxed); }

FileResult WriteFileAtomic(const std::string& path, std::string_view bytes, FileStamp* written,
                           const std::function<bool()>& mayReplace, Disk& disk) {
    std::string folder = FolderOf(path);
    std::string name = path.substr(path.find_last_of('/') + 1);
    int err = disk.WriteFault(WriteStep::Open, path);
    Temporary made;
    std::vector<Leftover> foreign;
    if (!err) {
        if (Sweeps::Due(folder, name)) foreign = RemoveStaleTemporaries(folder, name);
        made = MakeTemporaryBeside(path);
        err = made.err;
    }
    if (err) return WriteFailed(path, WriteStep::Open, err);
    int fd = made.fd;
    const std::string& temp = made.path;
    if (!foreign.empty()) {
        // The new temporary's time is the share's clock, whatever this computer's says.
        struct stat now {};
        if (fstat(fd, &now) == 0) RemoveOldForeignTemporaries(foreign, ModifiedNs(now));
    }
    auto fail = [&](WriteStep step, int e) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return WriteFailed(path, step, e);
    };
    WriteStep step{};
    if ((err = WriteAndSync(disk, Growth::Replace, path, fd, bytes, 0, &step))) return fail(step, err);
    if (::close(fd) != 0) {
        fd = -1;
        return fail(WriteStep::Close, errno);
    }
    fd = -1;
    if (mayReplace && !mayReplace()) {
        ::unlink(temp.c_str());
        return Failed(Failure::Busy, path);
    }
    if ((err = disk.WriteFault(WriteStep::Rename, path))) return fail(WriteStep::Rename, err);
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(WriteStep::Rename, errno);
    // A rename can land long after it was asked for (a link that came back,
    // a request a hard mount sent again), over what another station saved
    // under the lock it took meanwhile. Nothing here can take that back; it
    // is not reported saved, so that the save is made again under the lock,
    // and the journals' check puts back what the other station lost.
    if (mayReplace && !mayReplace()) {
        lateReplaces.fetch_add(1, std::memory_order_relaxed);
        return Failed(Failure::Busy, path);
    }
    if (written) *written = StampOfWritten(path, bytes);
    // The new name must survive a power loss too: sync the folder entry.
    if ((err = disk.WriteFault(WriteStep::SyncFolder, path)))
        return WriteFailed(path, WriteStep::SyncFolder, err);
    SyncFolder(folder);
    return {};
}

bool StampedRead::missing() const { return MeansMissing(err); }

StampedRead ReadStamped(const std::string& path, Disk& disk, size_t limit) {
    StampedRead result;
    struct stat st {};
    result.err = ReadWhole(disk, path, limit, result.bytes, &st);
    if (result.err == 0) result.stamp = StampOf(result.bytes, ModifiedNs(st));
    return result;
}

int Disk::ReadFault(const std::string&) { return 0; }

int Disk::WriteFault(WriteStep, const std::string&) { return 0; }

int Disk::AppendFault(WriteStep, const std::string&) { return 0; }

Disk& RealDisk() {
    static Disk disk;
    return disk;
}

}  // namespace ziv
