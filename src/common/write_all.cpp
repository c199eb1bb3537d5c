#include "common/write_all.h"

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

}  // namespace ziv
