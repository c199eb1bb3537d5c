#pragma once
// A disk that fails where the test says: before each opening for reading,
// each step of an atomic write and each step of an append it asks the test's
// function, which gives the errno to fail with, or 0 to go on as the real
// disk does.
#include <functional>
#include <string>

#include "common/disk.h"

class FaultyDisk : public ziv::Disk {
public:
    std::function<int(const std::string& path)> reads;
    std::function<int(ziv::WriteStep step, const std::string& path)> writes;
    std::function<int(ziv::WriteStep step, const std::string& path)> appends;

    int ReadFault(const std::string& path) override { return reads ? reads(path) : 0; }
    int WriteFault(ziv::WriteStep step, const std::string& path) override {
        return writes ? writes(step, path) : 0;
    }
    int AppendFault(ziv::WriteStep step, const std::string& path) override {
        return appends ? appends(step, path) : 0;
    }
};
