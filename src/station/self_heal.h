#pragma once
// A station heals what it delivered. A late write from another computer (a
// rename its link sent before an outage and delivered after it) can put an
// older day workbook back over this station's values. At start and whenever
// its share comes back, the station's writer checks this station's own
// journal entries of the recent days against the day workbooks and writes
// back what was undone; a newer value of any station still wins.
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
