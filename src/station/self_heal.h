#pragma once
// A station heals the day workbooks it delivered to. A late write (a rename
// a computer's link sent before an outage and delivered after it) can put an
// older workbook back over newer values: another computer's over this
// station's, or this computer's over another station's. At start, whenever
// its share comes back and after one of its replaces landed late, the
// station's writer checks the journal entries of the recent days against
// those workbooks and writes back what was undone; the newest value wins.
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "common/timestamp.h"
#include "platform/file_lock.h"
#include "records/product_registry.h"

namespace ziv {

class SelfHeal {
public:
    // Today and the days before it that are checked.
    static constexpr int kDaysBack = 2;

    SelfHeal(std::string station, Files files) : station_(std::move(station)), files_(files) {}

    // The products the station measures into now and the working date
    // chosen; products of earlier in the run stay checked. From any thread.
    void Watch(const ProductPathList& products, const Day& workDate);
    // Checks and writes back; on the writer's thread. The values written back.
    size_t Heal(const Day& today);

private:
    std::mutex mutex_;
    std::set<std::string> products_;
    std::optional<Day> workDate_;
    const std::string station_;
    const Files files_;
};

}  // namespace ziv
