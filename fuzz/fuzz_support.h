#pragma once
// Shared by the fuzz targets (and by test_fuzz, which runs them on the kept
// inputs): a check that says what broke before aborting, a scratch folder in
// memory for the readers that take a path instead of bytes, and the libFuzzer
// entry point.
#include <unistd.h>
#include <fcntl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_targets.h"

// Only a fuzzer executable compiles its target with ZIV_FUZZ_ENTRY: test_fuzz
// links every target together, and each would bring its own
// LLVMFuzzerTestOneInput.
#ifdef ZIV_FUZZ_ENTRY
#define ZIV_FUZZ_ENTRY_POINT(target)                                            \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
        return ::ziv::fuzz::target::OneInput(data, size);                      \
    }
#else
#define ZIV_FUZZ_ENTRY_POINT(target)
#endif

#define ZIV_FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : ::ziv::fuzz::CheckFailed(#condition, __FILE__, __LINE__))

namespace ziv::fuzz {

[[noreturn]] inline void CheckFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

inline std::string_view Bytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

inline std::string& ScratchFolderName() {
    static std::string name;
    return name;
}

inline void RemoveScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolderName(), ignored);
}

// One folder per process, in /dev/shm when the system has it: the readers
// open real files, and a disk would make every execution wait for it.
inline const std::string& ScratchFolder() {
    static const bool made = [] {
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string pattern = std::string(base) + "/ziv-fuzz-XXXXXX";
            if (::mkdtemp(pattern.data())) {
                ScratchFolderName() = pattern;
                std::atexit(RemoveScratchFolder);
                return true;
            }
        }
        return false;
    }();
    if (!made) CheckFailed("a scratch folder can be made", __FILE__, __LINE__);
    return ScratchFolderName();
}

inline std::string ScratchPath(const std::string& relative) { return ScratchFolder() + "/" + relative; }

// The input as a file's whole content. A plain truncating write: this is the
// harness laying out its input, not the system writing one of its files.
inline void PutFile(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) CheckFailed("the scratch file opens", __FILE__, __LINE__);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) CheckFailed("the scratch file takes the input", __FILE__, __LINE__);
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}

}  // namespace ziv::fuzz
