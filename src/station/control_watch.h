#pragma once
// Warning at the machine before a part goes bad: a value entered on a point and
// machine with control limits fixed by quality staff is checked, with the
// point's recent values on that machine, against those limits, run rules
// 1-4 and the moving-range limit, as the report's charts against fixed limits. Points and machines
// without fixed limits are not watched at all.
#include <array>
#include <cstdint>
#include <string_view>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/failure.h"
#include "common/timestamp.h"
#include "records/journal.h"
#include "records/product_registry.h"
#include "report/fixed_limits.h"

namespace ziv {

struct ControlSignal {
    // 1..4, or report::kRangeRule for a moving range above its limit: of
    // those the value completes, one beyond a limit first, then the lowest run rule.
    int Rule = 0;
    int Point = 0, Machine = 0;
    bool Rising = false;  // rule 3: the run goes up
    // "管理外れ 点5: 管理限界外" for rule 1 (and the moving range),
    // "傾向 点5: 6点連続の増加" for a run.
    std::string Text() const;
    // "管理限界外", "片側に9点", "6点連続の増加", "移動範囲の管理限界外", ...: what
    // the journal marks the value with.
    std::string RuleText() const;
    bool operator==(const ControlSignal&) const = default;
};

// What the operator may record having done about a signal; the last takes a text.
inline constexpr std::array<std::string_view, 5> kReactions = {"工具交換", "補正", "段取り替え", "材料ロット変更", "その他"};

// How many of a point's last values are checked and charted: the longest run
// rule needs fourteen.
inline constexpr size_t kRecentValues = 50;

class ControlWatch {
public:
    void SetLimits(report::CurrentLimits limits);
    const report::FixedLimit* LimitsOf(int point, int machine) const;
    bool Watched(int point, int machine) const { return LimitsOf(point, machine) != nullptr; }

    // A number entered on a watched point: `recent` are the values before it,
    // oldest first. The signal the value raises, if any; it stands until the
    // point's next value on that machine is in control, or a reaction is
    // recorded. Nothing for a point or machine that is not watched.
    std::optional<ControlSignal> Check(int point, int machine, const std::vector<double>& recent, double value);
    void Reacted(int point, int machine);
    std::optional<ControlSignal> Standing(int point, int machine) const;

private:
    report::CurrentLimits limits_;
    std::map<std::pair<int, int>, ControlSignal> standing_;
};

// One day workbook cell of a point and machine as the recent values keep it:
// the value of the last entry of its working date and operator.
struct RecentCell {
    int Point = 0, Machine = 0;
    int Days = 0;  // the working date, days since 1970-01-01
    std::string Operator;
    std::int64_t TakenMs = 0;
    std::optional<double> Value;  // none for a text or an emptied value
    bool operator==(const RecentCell&) const = default;
};

// The recent values of every point and machine, from the journals of every
// station: one value per day workbook cell (the last entry of that working
// date, operator, machine and point), in the order they were taken, so that
// a signal does not depend on which computer measured the values before.
class RecentValues {
public:
    // Entries in any order, and again: texts, emptied cells and refused
    // readings hold no value; the newer of two entries of a cell stands.
    void Add(const JournalEntry& entry);
    void Add(const RecentCell& cell);
    void Add(const RecentValues& other);
    // Up to `most` values of the point on the machine, oldest first, leaving
    // out the cell that `date` and `op` are about to write again.
    std::vector<double> Before(int point, int machine, const Day& date, const std::string& op,
                               size_t most = kRecentValues) const;
    // Forgets all but the `most` newest cells with a value of each point and
    // machine (and those without a value taken after them).
    void KeepNewest(size_t most);
    // How many cells of the point and machine hold a value.
    size_t Valued(int point, int machine) const;
    std::vector<RecentCell> Cells() const;

private:
    struct Cell {
        std::int64_t TakenMs = 0;
        std::optional<double> Value;
    };
    using CellKey = std::tuple<int, std::string>;  // working date as days, operator
    std::map<std::pair<int, int>, std::map<CellKey, Cell>> cells_;
};

// What the watch needs from the file server: read on a thread of its own,
// since a share that does not answer must never hold up the window.
struct ControlData {
    report::CurrentLimits Limits;  // (point, machine), of the product each machine has
    RecentValues Recent;
    std::vector<FileResult> Problems;  // limits files that could not be read
    std::uint64_t JournalBytesRead = 0;  // what this read took of the journals
};
// The fixed limits of each machine's registered product, and the recent
// values of the watched points in every station's journals of it. What was
// read before is kept in `cachePath` on the station's own disk (see
// station/control_cache.h): only what the journals gained since is read, and
// of older working dates only as many as the watched points' last values need.
ControlData ReadControlData(const ProductPathList& products, const Day& today, const std::string& cachePath);

}  // namespace ziv
