#include "common/durable_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ziv {

bool WriteAllAt(int fd, std::string_view bytes, off_t at) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

int WriteAndSync(Disk& disk, Growth growth, const std::string& path, int fd, std::string_view bytes, off_t at,
                 WriteStep* failedAt) {
    auto fault = [&](WriteStep step) {
        return growth == Growth::Append ? disk.AppendFault(step, path) : disk.WriteFault(step, path);
    };
    for (WriteStep step : {WriteStep::Write, WriteStep::Sync}) {
        *failedAt = step;
        if (int err = fault(step)) return err;
        bool done = step == WriteStep::Write ? WriteAllAt(fd, bytes, at) : ::fdatasync(fd) == 0;
        if (!done) return errno ? errno : EIO;
    }
    return 0;
}

bool SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

}  // namespace ziv
