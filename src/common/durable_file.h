#pragma once
// Writing that outlives a crash or a power loss, in one place for every file
// the system keeps: the station's log, the journals and the files replaced
// whole. A write may take only part of a buffer, or be interrupted by a
// signal, and neither is a failure; a file is durable once its data are
// synced, and a name made or changed once its folder is.
#include <sys/types.h>

#include <string>
#include <string_view>

#include "common/disk.h"

namespace ziv {

// False, with errno set, when the system refused; nothing is synced here.
bool WriteAllAt(int fd, std::string_view bytes, off_t at);

// Which of the disk's faults the steps of a write meet.
enum class Growth {
    Replace,  // a temporary that is then renamed over the file
    Append,   // the file itself, growing in place
};

// Writes bytes whole at `at` (a file opened to append takes them at its end
// whatever `at` says) and syncs their data; each step first meets the disk's
// fault for it. 0, or the error (errno) with *failedAt the step that met it.
int WriteAndSync(Disk& disk, Growth growth, const std::string& path, int fd, std::string_view bytes, off_t at,
                 WriteStep* failedAt);

// Syncs a folder, so that a name made or renamed in it survives a power loss.
bool SyncFolder(const std::string& folder);

}  // namespace ziv
