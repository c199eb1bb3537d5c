#pragma once
// Text files of the system: Shift_JIS (code page 932) on disk with CR LF line
// ends, UTF-8 in memory. Every write is whole and atomic.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/disk.h"
#include "common/failure.h"

namespace ziv {

// UTF-8 -> CP932; nothing when some character has no CP932 form.
std::optional<std::string> ToCp932(std::string_view utf8);
// CP932 -> UTF-8; bytes that are not valid CP932 become U+FFFD.
std::string FromCp932(std::string_view bytes);

// Splits text into lines at CR LF, LF or a lone CR; a last line without a line
// end still counts, an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);
// A text that reads back as the one line it was written as: no CR, no LF.
bool FitsOneLine(std::string_view text);

// What reading a text file gave. A file that exists but cannot be read (no
// permission, a folder of that name, too large, a read error) is not missing:
// whatever holds it must not be written over as if it were new.
enum class ReadStatus { Missing, Unreadable, Read };
struct TextRead {
    ReadStatus status = ReadStatus::Missing;
    std::vector<std::string> lines;  // UTF-8, only when read
    int err = 0;                     // why it could not be read (errno), when unreadable
    bool read() const { return status == ReadStatus::Read; }
    bool unreadable() const { return status == ReadStatus::Unreadable; }
};

// Reads a CP932 text file into UTF-8 lines, telling a missing file from one
// that cannot be read.
TextRead ReadTextFile(const std::string& path, Disk& disk = RealDisk());

// The lines of ReadTextFile; nothing when the file is missing or cannot be read.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& path, Disk& disk = RealDisk());

// Writes UTF-8 text as the whole CP932 content of a file (nothing is added).
FileResult WriteTextFile(const std::string& path, std::string_view utf8, Disk& disk = RealDisk());

// Which version of a file a station read or wrote: a file server may round
// modification times, so the size and a hash of the content count too.
struct FileStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::size_t hash = 0;
    bool operator==(const FileStamp&) const = default;
};

// A whole file with the stamp of exactly those bytes. err is 0 when read,
// ENOENT/ENOTDIR when missing, else why it could not be read.
struct StampedRead {
    int err = 0;
    std::string bytes;
    FileStamp stamp;
    bool missing() const;
};
StampedRead ReadStamped(const std::string& path, Disk& disk = RealDisk(), size_t limit = 256u << 20);

// Writes bytes as the whole content of a file: a temporary file in the same
// folder, flushed and synced, renamed over the target, then the folder synced.
// A crash leaves the old file or the new one, never a part. The temporaries
// of the same file that a killed writer left are removed by the next write
// (in a folder of hundreds of files, by this process's next write after a
// minute), but never one that a live writer (on this or another computer)
// still writes. *written, when given, receives the stamp of the new content.
// mayReplace, when given, is asked right before the target is replaced; when
// it says no, the target stays as it was and the result is Busy. It is asked
// again once the target is replaced: a no then (the lock was lost while the
// rename was under way) gives Busy too, though the new content is in place.
FileResult WriteFileAtomic(const std::string& path, std::string_view bytes, FileStamp* written = nullptr,
                           const std::function<bool()>& mayReplace = {}, Disk& disk = RealDisk());
// How many replaces of this process have landed after their lock was lost
// (the second no above) since it started: each may have put older content
// over another station's save, which the journals' check then writes back.
std::uint64_t LateReplacesSoFar();

// An empty file of this process beside path, named as the atomic writer names
// its temporaries, so that one a killed process left goes the same way.
struct Temporary {
    int fd = -1;       // open for writing; closed by whoever made it
    std::string path;  // empty when it could not be made
    int err = 0;
};
Temporary MakeTemporaryBeside(const std::string& path);

// Removes the temporaries beside path that writers which died left, as the
// next atomic write of path does; for whoever makes such a file of its own
// first, so that a killed process leaves one of them at most.
void RemoveLeftTemporaries(const std::string& path);

// The file server's time now (ns since the epoch), read off a file just made
// beside path: a station's own clock may be minutes off the server's.
std::optional<std::int64_t> ShareClockNs(const std::string& path);

// Reads a whole file; nothing when it is missing, unreadable or larger than limit.
std::optional<std::string> ReadWholeFile(const std::string& path, Disk& disk = RealDisk(),
                                         size_t limit = 256u << 20);

}  // namespace ziv
