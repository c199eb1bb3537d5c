#pragma once
// The values of a range of day workbooks as AQDEF input, for a customer's SPC
// system: one characteristic per point, with the limits of the latest book
// that holds them, and every numeric value with its time, operator, machine
// and gauge (the time and gauge from the journal where it knows them; the
// working date at midnight otherwise).
#include <map>
#include <string>

#include "report/aqdef.h"
#include "report/collect.h"
#include "report/part_facts.h"

namespace ziv::report {

class JournalIndex;

class AqdefCollector {
public:
    AqdefCollector(const PartFacts& facts, std::string lot, const JournalIndex* journal);
    // Books in date order, as ReadDayBooks hands them over.
    void Add(const DayBookData& book);
    AqdefInput Result() const;

private:
    AqdefInput input_;
    std::string lot_;
    const JournalIndex* journal_;
    std::map<int, AqdefCharacteristic> characteristics_;
};

}  // namespace ziv::report
