#pragma once
// A disk that fails where the test says: before each opening for reading,
// each step of an atomic write and each step of an append it asks the test's
// function, which gives the errno to fail with, or 0 to go on as the real
// disk does. The writer's thread asks while the test changes its mind: each
// function is swapped and called under a lock of its own.
#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include "common/disk.h"

template <typename... Args>
class DiskFault {
public:
    DiskFault& operator=(std::function<int(Args...)> f) {
        std::lock_guard lock(mutex_);
        f_ = std::move(f);
        return *this;
    }
    int operator()(Args... args) const {
        std::function<int(Args...)> f;
        {
            std::lock_guard lock(mutex_);
            f = f_;
        }
        return f ? f(args...) : 0;
    }

private:
    mutable std::mutex mutex_;
    std::function<int(Args...)> f_;
};

class FaultyDisk : public ziv::Disk {
public:
    DiskFault<const std::string&> reads;
    DiskFault<ziv::WriteStep, const std::string&> writes;
    DiskFault<ziv::WriteStep, const std::string&> appends;

    int ReadFault(const std::string& path) override { return reads(path); }
    int WriteFault(ziv::WriteStep step, const std::string& path) override { return writes(step, path); }
    int AppendFault(ziv::WriteStep step, const std::string& path) override { return appends(step, path); }
};
