#pragma once
// Delivery of what waits in the station's log to the file server, each kind
// into its own file as that file is now: the journals first (a value's
// record never trails it), then the day workbooks, Directory.dat, Data.dat,
// and the rejection and operator records. What is delivered, or found older
// than what its file holds, is marked done in the log; what is not waits for
// the next try.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "drawing/point_table.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "station_log/station_log.h"

namespace ziv {

struct Delivered {
    // Day workbooks as written: every measured row.
    std::vector<std::pair<std::string, std::map<int, MeasuredRow>>> books;
    // Directory.dat and Data.dat files as written.
    std::vector<std::pair<std::string, ProductPathList>> directories;
    std::vector<std::pair<std::string, PointTable>> pointFiles;
    // Day workbooks that could not be written, and why.
    std::vector<std::pair<std::string, FileResult>> bookFailures;
    // The first other failure, of a file or of the log.
    FileResult problem;
};

// One pass over everything that waits, in the order above. A workbook whose
// lock another station keeps ends the pass's workbooks, so that one pass
// waits for one lock at most (with LockWait::Once, for none).
Delivered DeliverWaiting(StationLog& log, Files files, DayBooks& books, LockWait wait = LockWait::Patient);

// Each kind alone, for every file it waits for; the first failure.
FileResult DeliverJournalLines(StationLog& log, Disk& disk = RealDisk());
FileResult DeliverRows(StationLog& log, DayBooks& books, LockWait wait, Delivered& delivered);
FileResult DeliverRegistrations(StationLog& log, Files files,
                                std::vector<std::pair<std::string, ProductPathList>>* written = nullptr);
FileResult DeliverDesignations(StationLog& log, Files files,
                               std::vector<std::pair<std::string, PointTable>>* written = nullptr);
FileResult DeliverFiles(StationLog& log, Disk& disk = RealDisk());

}  // namespace ziv
