#include "common/this_computer.h"

#include <cerrno>
#include <csignal>
#include <fstream>
#include <unistd.h>

namespace ziv {

const std::string& ThisComputer() {
    static const std::string id = [] {
        std::string boot;
        std::ifstream("/proc/sys/kernel/random/boot_id") >> boot;
        char ns[64] = {};
        ssize_t n = ::readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
        if (n > 0) ns[n] = 0;
        return boot + "/" + ns;
    }();
    return id;
}

bool ProcessGone(long pid) {
    if (pid <= 0 || pid != static_cast<pid_t>(pid)) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace ziv
