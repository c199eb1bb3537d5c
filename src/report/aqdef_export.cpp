#include "report/aqdef_export.h"

#include "common/numbers.h"
#include "report/capability.h"
#include "report/journal_index.h"

namespace ziv::report {

AqdefCollector::AqdefCollector(const PartFacts& facts, std::string lot, const JournalIndex* journal)
    : lot_(std::move(lot)), journal_(journal) {
    input_.PartNumber = facts.PartNumber;
    input_.PartName = facts.PartName;
}

namespace {

Timestamp Midnight(const Date& date) {
    using namespace std::chrono;
    Timestamp time;
    time.Utc = sys_days(days(DaysOf(date)));
    return time;
}

}  // namespace

void AqdefCollector::Add(const DayBookData& book) {
    for (const PointRow& row : book.Rows) {
        if (!row.Nominal.empty()) {
            // The latest limits stand for the characteristic.
            AqdefCharacteristic& c = characteristics_[row.Point];
            ToleranceLimits limits = ToleranceLimitsOf({row.Nominal, row.Upper, row.Lower});
            c = {row.Point, DecimalText(row.Point), "番号 " + DecimalText(row.Point), NumberFromText(row.Nominal),
                 limits.Lower, limits.Upper};
        }
        auto value = row.Measured ? row.Measured : MeasuredNumber(row.Value);
        if (!value) continue;
        const JournalEntry* entry = journal_ ? journal_->EntryOf(book.Name, row.Point, row.Value, value) : nullptr;
        input_.Values.push_back({row.Point, *value, entry ? entry->Time : Midnight(book.Name.WorkDate), lot_,
                                 book.Name.Operator, DecimalText(book.Name.Machine), entry ? entry->Gauge : ""});
    }
}

AqdefInput AqdefCollector::Result() const {
    AqdefInput input = input_;
    for (const auto& [point, c] : characteristics_) input.Characteristics.push_back(c);
    return input;
}

}  // namespace ziv::report
