#pragma once
// The values of a range of day workbooks as AQDEF input, for a customer's SPC
// system, made so that the receiving system computes the figures the shop
// does: one characteristic per point and set of limits (a value is judged
// against the limits it was measured under, not the latest), the limits
// worked out in decimals from the texts as drawn, a natural boundary marked
// as one, an OK / NG point as an attributive characteristic, and the values in
// the order they were taken: by working date, within it by the journal's time
// (a value the journal does not know keeps no time and follows its day's
// others in the order of the books).
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "report/aqdef.h"
#include "report/collect.h"
#include "report/part_facts.h"

namespace ziv::report {

class JournalIndex;

class AqdefCollector {
public:
    // lot: the lot of every value; empty, each value's lot is its book's
    // working date and machine ("20260307-3").
    AqdefCollector(PartFacts facts, std::string lot, const JournalIndex* journal);
    // Books in date order, as ReadDayBooks hands them over.
    void Add(const DayBookData& book);
    // unreadBooks: books of the range that could not be read; the file says so.
    AqdefInput Result(size_t unreadBooks = 0) const;
    // What the file lacks, in the words the window and the command line show.
    std::vector<std::string> Warnings(size_t unreadBooks = 0) const;

private:
    struct Found {
        int Point = 0;
        std::string Nominal, Upper, Lower;
        bool Attributive = false;
        auto operator<=>(const Found&) const = default;
    };
    struct Taken {
        size_t Characteristic = 0;  // index into found_
        int WorkDay = 0;            // days since 1970
        std::int64_t Ms = 0;
        bool Timed = false;
        size_t Sequence = 0;
        AqdefValue Value;
    };
    size_t CharacteristicOf(const Found& found, const Date& date);
    AqdefCharacteristic Describe(const Found& found, int set, const Date& since) const;

    PartFacts facts_;
    std::string lot_;
    const JournalIndex* journal_;
    std::map<Found, size_t> index_;
    std::vector<std::pair<Found, Date>> found_;  // with the first working date it was seen
    std::vector<Taken> taken_;
};

}  // namespace ziv::report
