#pragma once
// Saving files that several stations replace whole.
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "common/text_file.h"
#include "platform/file_lock.h"

namespace ziv {

// One save of such a file (a day workbook, Directory.dat, Data.dat): under
// the file's lock, write(file, lock) gets the file as it is now (or that it is
// missing) and writes what belongs there, refusing to replace it once the
// lock is no longer held. A holder judged dead by another station has lost
// its lock: the file may hold that station's save since, so it is read and
// written again, three times at most. Busy names the file; Unreadable, a file
// that is there but cannot be read.
template <typename Write>
FileResult SaveUnderLock(Files files, const std::string& path, LockWait wait, Write write) {
    for (int attempt = 1;; ++attempt) {
        auto lock = files.locks.Lock(path, wait);
        if (!lock) return Failed(Failure::Busy, path);
        StampedRead file = ReadStamped(path, files.disk);
        if (file.err && !file.missing()) return Failed(Failure::Unreadable, path, file.err);
        FileResult result = write(file, *lock);
        if (result.failure != Failure::Busy || attempt == 3) return result;
    }
}

// A line-based file that stations sharing a product folder replace whole
// (Directory.dat, Data.dat). Each process remembers the version of each such
// file it last read or wrote, under a key of whatever holds a copy of its
// content (the file itself, or one machine's table of it); a save then takes
// the file's lock, and when the file is no longer the version that copy came
// from, merges: what this station changed since wins, the rest comes from the
// file as it is now.
template <typename Content>
class SharedFileVersions {
public:
    void Remember(const std::string& key, const FileStamp& stamp, const Content& content) {
        std::lock_guard<std::mutex> guard(mutex_);
        known_[key] = {stamp, content};
    }

    // Saves `mine`, the copy remembered under key, to path under the file's lock. merge(mine, known, disk)
    // gives what to write when another station changed the file since this
    // process knew it; parse turns the file's bytes into content, text the
    // content into the file's text. *saved receives what was written.
    template <typename Parse, typename Merge, typename Text>
    FileResult Save(Files files, const std::string& path, const std::string& key, const Content& mine, Parse parse,
                    Merge merge, Text text, Content* saved) {
        return SaveUnderLock(files, path, LockWait::Patient, [&](const StampedRead& file, const FileLockHold& lock) {
            Content merged = mine;
            std::optional<Known> known;
            {
                std::lock_guard<std::mutex> guard(mutex_);
                if (auto it = known_.find(key); it != known_.end()) known = it->second;
            }
            if (!file.err && known && !(file.stamp == known->stamp))
                merged = merge(mine, known->content, parse(file.bytes));
            auto bytes = ToCp932(text(merged));
            if (!bytes) return Failed(Failure::NotShiftJis, path);
            FileStamp written;
            FileResult result =
                WriteFileAtomic(path, *bytes, &written, [&] { return lock.StillHeld(); }, files.disk);
            if (result) {
                Remember(key, written, merged);
                if (saved) *saved = merged;
            }
            return result;
        });
    }

private:
    struct Known {
        FileStamp stamp;
        Content content;
    };
    std::mutex mutex_;
    std::map<std::string, Known> known_;
};

}  // namespace ziv
