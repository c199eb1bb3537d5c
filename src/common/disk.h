#pragma once
// The disk as the system's reads and atomic writes meet it. Whatever reads or
// writes the station's files is handed one, as a window is handed its
// dialogs: the program hands the disk as it is; a test hands in one that
// fails where the test says (full, broken, refusing, a share gone), so that
// every way a read or a write can fail is tried without such a disk.
#include <string>

#include "common/failure.h"

namespace ziv {

class Disk {
public:
    virtual ~Disk() = default;
    // The error (errno) that opening path for reading meets before it is
    // tried; 0 tries it.
    virtual int ReadFault(const std::string& path);
    // The error (errno) that this step of an atomic write of path meets
    // before it is tried; 0 tries it.
    virtual int WriteFault(WriteStep step, const std::string& path);
    // The error (errno) that this step of an append to the end of path (a
    // journal, which grows in place rather than being replaced) meets before
    // it is tried; 0 tries it.
    virtual int AppendFault(WriteStep step, const std::string& path);
};

// The disk as it is: every opening and every step is tried.
Disk& RealDisk();

}  // namespace ziv
