#include "records/journal_follow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ziv {

namespace {

std::int64_t ModifiedNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

bool SameFile(const JournalMark& mark, const struct stat& st) {
    return mark.Device == static_cast<std::uint64_t>(st.st_dev) && mark.Inode == static_cast<std::uint64_t>(st.st_ino);
}

bool Unchanged(const JournalMark& mark, const struct stat& st) {
    return mark.Taken > 0 && SameFile(mark, st) && mark.Size == static_cast<std::uint64_t>(st.st_size) &&
           mark.ModifiedNs == ModifiedNs(st);
}

// The bytes from `from` to `to`; 0, or the error.
int ReadRange(int fd, std::uint64_t from, std::uint64_t to, std::string& out) {
    out.assign(to > from ? to - from : 0, '\0');
    size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(from + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;  // cut shorter meanwhile: what is there
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return 0;
}

// Reads on from the mark when the journal still holds, just before it, the
// bytes taken last; otherwise all of it. `from` is where `bytes` begin.
struct ReadBytes {
    int err = 0;
    bool onward = false;
    std::uint64_t from = 0, total = 0;
    std::string bytes;
};
ReadBytes ReadOn(int fd, const JournalMark& mark, const struct stat& st) {
    ReadBytes r;
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    r.onward = mark.Taken > 0 && SameFile(mark, st) && size >= mark.Taken;
    r.from = r.onward ? mark.Taken - mark.Tail.size() : 0;
    r.err = ReadRange(fd, r.from, size, r.bytes);
    r.total = r.bytes.size();
    if (r.err || !r.onward || r.bytes.compare(0, mark.Tail.size(), mark.Tail) == 0) return r;
    r.onward = false;
    r.from = 0;
    r.err = ReadRange(fd, 0, size, r.bytes);
    r.total += r.bytes.size();
    return r;
}

// Where the last line before `end` begins, within its last kMarkTail bytes:
// each record starts with its time to the millisecond, so a replaced journal
// that happens to end a line at the mark still shows another line there.
size_t LastLineStart(const std::string& bytes, size_t end) {
    const size_t before = end >= 2 ? bytes.rfind('\n', end - 2) : std::string::npos;
    const size_t start = before == std::string::npos ? 0 : before + 1;
    return std::max(start, end - std::min(end, kMarkTail));
}

}  // namespace

JournalFollow FollowJournal(const std::string& path, const JournalMark& mark) {
    JournalFollow follow;
    follow.Mark = mark;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        follow.err = errno;
        return follow;
    }
    if (Unchanged(mark, st)) return follow;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        follow.err = errno;
        if (fd >= 0) ::close(fd);
        return follow;
    }
    ReadBytes r = ReadOn(fd, mark, st);
    ::close(fd);
    follow.BytesRead = r.total;
    if ((follow.err = r.err)) return follow;
    follow.Again = mark.Taken > 0 && !r.onward;
    const std::string& bytes = r.bytes;
    const size_t skip = r.onward ? mark.Tail.size() : 0;
    // Only whole lines: a record whose line end is not yet there is still being written.
    const size_t lineEnd = bytes.rfind('\n');
    const size_t whole = lineEnd == std::string::npos || lineEnd < skip ? skip : lineEnd + 1;
    JournalRead read = ParseJournal(std::string_view(bytes).substr(skip, whole - skip));
    follow.Entries = std::move(read.entries);
    follow.Damaged = read.damaged;
    const size_t tailFrom = LastLineStart(bytes, whole);
    follow.Mark = {static_cast<std::uint64_t>(st.st_dev),
                   static_cast<std::uint64_t>(st.st_ino),
                   static_cast<std::uint64_t>(st.st_size),
                   ModifiedNs(st),
                   r.from + whole,
                   bytes.substr(tailFrom, whole - tailFrom)};
    return follow;
}

}  // namespace ziv
