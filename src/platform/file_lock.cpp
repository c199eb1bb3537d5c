#include "platform/file_lock.h"

#include <climits>
#include <cstdint>
#include <cstdio>

namespace ziv {
namespace {

class Unlocked : public FileLocks {
public:
    std::unique_ptr<FileLockHold> Lock(const std::string&, LockWait) override {
        return std::make_unique<FileLockHold>();
    }
};


// FNV-1a: fixed by its definition, so that every station, whatever it was
// built with, names the lock of a long name alike.
std::uint64_t NameHash(const std::string& name) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

}  // namespace

std::string LockFilePath(const std::string& path, const std::string& suffix) {
    size_t slash = path.find_last_of('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = path.substr(nameStart);
    if (name.size() + suffix.size() <= NAME_MAX) return path + suffix;
    char hash[18];
    std::snprintf(hash, sizeof hash, "~%016llx",
                  static_cast<unsigned long long>(NameHash(name)));
    size_t keep = NAME_MAX - suffix.size() - (sizeof hash - 1);
    // Cut between characters, never inside one.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return path.substr(0, nameStart) + name.substr(0, keep) + hash + suffix;
}

FileLocks& NoFileLocks() {
    static Unlocked locks;
    return locks;
}

}  // namespace ziv
