#include "station/self_heal.h"

#include <chrono>
#include <vector>

#include "report/journal_check.h"
#include "report/journal_index.h"

namespace ziv {

void SelfHeal::Watch(const ProductPathList& products, const Day& workDate) {
    std::lock_guard lock(mutex_);
    for (const std::string& product : products)
        if (!product.empty()) products_.insert(product);
    workDate_ = workDate;
}

size_t SelfHeal::Heal(const Day& today) {
    std::set<std::string> products;
    std::optional<Day> workDate;
    {
        std::lock_guard lock(mutex_);
        products = products_;
        workDate = workDate_;
    }
    const int last = report::DaysOf(today), first = last - kDaysBack;
    std::vector<report::Filter> ranges{{report::DateOfDays(first), report::DateOfDays(last), {}, {}}};
    // A date chosen in the calendar outside the recent days took values too.
    if (workDate && (report::DaysOf(*workDate) < first || report::DaysOf(*workDate) > last)) {
        Date day = report::DateOfDays(report::DaysOf(*workDate));
        ranges.push_back({day, day, {}, {}});
    }
    size_t healed = 0;
    for (const std::string& product : products)
        for (const report::Filter& range : ranges) {
            report::JournalCheck check = report::CheckJournals(product, range, files_, true, station_);
            healed += check.differences.size() - check.Unrepaired();
        }
    return healed;
}

}  // namespace ziv
