#include "report/aqdef_export.h"

#include <algorithm>

#include "common/numbers.h"
#include "report/capability.h"
#include "report/drawn_number.h"
#include "report/journal_index.h"

namespace ziv::report {

namespace {

std::string Signed(const std::string& tolerance) {
    auto n = ParseDrawn(tolerance);
    return (n && n->Digits > 0 ? "+" : "") + tolerance;
}

std::optional<int> DrawnPlaces(const PointFacts& facts, const std::vector<std::string>& texts) {
    if (auto given = facts.Places()) return given;
    std::optional<int> places;
    for (const std::string& text : texts)
        if (auto p = PlacesOf(text)) places = std::max(places.value_or(0), *p);
    return places;
}

}  // namespace

AqdefCollector::AqdefCollector(PartFacts facts, std::string lot, const JournalIndex* journal)
    : facts_(std::move(facts)), lot_(std::move(lot)), journal_(journal) {}

size_t AqdefCollector::CharacteristicOf(const Found& found, const Date& date) {
    auto [at, added] = index_.emplace(found, found_.size());
    if (added) found_.emplace_back(found, date);
    return at->second;
}

void AqdefCollector::Add(const DayBookData& book) {
    const DayBookName& name = book.Name;
    const std::string lot = !lot_.empty() ? lot_
                                          : DateText(name.WorkDate).erase(7, 1).erase(4, 1) + "-" +
                                                DecimalText(name.Machine);
    const std::string partId = DateText(name.WorkDate) + "/" + DecimalText(name.Machine) + "号機/" + name.Operator;
    for (const PointRow& row : book.Rows) {
        Found found{row.Point, row.Nominal, row.Upper, row.Lower, row.Value == "OK" || row.Value == "NG"};
        std::string value;
        if (found.Attributive) {
            value = row.Value == "OK" ? "0" : "1";
        } else if (MeasuredNumber(row.Value) || row.Measured) {
            // Plain decimals, as many places as the value was given with ("1E-05" is 0.00001).
            value = MeasuredNumber(row.Value) ? row.Value : ExactText(*row.Measured);
            if (auto drawn = ParseDrawn(value)) value = DrawnText(*drawn);
        } else {
            continue;  // a text says nothing a customer's system can compute with
        }
        Taken t;
        t.Characteristic = CharacteristicOf(found, name.WorkDate);
        t.WorkDay = static_cast<int>(DaysOf(name.WorkDate));
        t.Sequence = taken_.size();
        t.Value = {0, value, std::nullopt, lot, "", partId};
        auto number = row.Measured ? row.Measured : MeasuredNumber(row.Value);
        if (const JournalEntry* entry = journal_ ? journal_->EntryOf(name, row.Point, row.Value, number) : nullptr) {
            t.Timed = true;
            t.Ms = entry->Time.Utc.time_since_epoch().count();
            t.Value.Time = entry->Time;
            t.Value.Text = entry->Gauge + (entry->GaugeOverdue ? " 校正期限切れ" : "");
        }
        taken_.push_back(std::move(t));
    }
}

AqdefCharacteristic AqdefCollector::Describe(const Found& found, int set, const Date& since) const {
    const PointFacts& facts = facts_.Of(found.Point);
    AqdefCharacteristic c;
    c.Number = DecimalText(found.Point) + (set > 1 ? "-" + DecimalText(set) : "");
    c.Attributive = found.Attributive;
    if (!found.Attributive && !found.Nominal.empty()) {
        c.Nominal = found.Nominal;
        if (!found.Upper.empty()) c.Upper = LimitText(found.Nominal, found.Upper).value_or("");
        if (!found.Lower.empty()) c.Lower = LimitText(found.Nominal, found.Lower).value_or("");
        auto number = [](const std::string& text) -> std::optional<double> {
            if (text.empty()) return std::nullopt;
            return NumberFromText(text);
        };
        c.LowerNatural =
            HasNaturalBoundary(facts_.KindOf(found.Point), NumberFromText(found.Nominal), number(c.Lower), number(c.Upper));
        c.Decimals = DrawnPlaces(facts, {found.Nominal, found.Upper, found.Lower});
        // Every limit with the places the part facts give ("119.970" for 桁数 3).
        for (std::string* text : {&c.Nominal, &c.Lower, &c.Upper})
            if (auto n = ParseDrawn(*text); n && c.Decimals && facts.Places())
                *text = DrawnText(WithPlaces(*n, *c.Decimals));
        c.Unit = facts.Unit.empty() ? "mm" : facts.Unit;
    }
    // What the characteristic is; without a name in the part facts, the drawing's own words for it.
    std::string name = !facts.Name.empty() ? facts.Name : "番号" + DecimalText(found.Point);
    if (facts.Name.empty() && found.Attributive) name += " 合否";
    if (facts.Name.empty() && !c.Nominal.empty())
        name += " " + (facts.Symbol.empty() ? "" : facts.Symbol + " ") + found.Nominal + " " + Signed(found.Upper) +
                " / " + Signed(found.Lower);
    if (set > 1) name += "（" + DateText(since) + " からの規格）";
    c.Name = name;
    return c;
}

AqdefInput AqdefCollector::Result(size_t unreadBooks) const {
    AqdefInput input;
    input.PartNumber = facts_.PartNumber;
    input.PartName = facts_.PartName;
    input.Material = facts_.Material;
    input.Customer = facts_.Customer;
    input.SupplierCode = facts_.SupplierCode;
    input.Supplier = facts_.Issuer;
    input.OrderNumber = facts_.OrderNumber;
    input.Reason = facts_.Reason;
    std::vector<std::string> remarks;
    if (unreadBooks > 0) remarks.push_back("不完全なデータ: 読めなかったブック " + std::to_string(unreadBooks) + " 冊");
    if (facts_.PartNumber.empty()) remarks.push_back("図番なし");
    for (const std::string& r : remarks) input.Remark += (input.Remark.empty() ? "" : "; ") + r;

    // Characteristics by point, each point's sets in the order they were first seen.
    std::vector<size_t> order(found_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return found_[a].first.Point < found_[b].first.Point; });
    std::vector<size_t> position(found_.size());
    for (size_t n = 0; n < order.size(); ++n) {
        const auto& [found, since] = found_[order[n]];
        int set = 1;
        for (size_t m = 0; m < n; ++m) set += found_[order[m]].first.Point == found.Point ? 1 : 0;
        position[order[n]] = n;
        input.Characteristics.push_back(Describe(found, set, since));
    }
    std::vector<const Taken*> values;
    for (const Taken& t : taken_) values.push_back(&t);
    std::stable_sort(values.begin(), values.end(), [](const Taken* a, const Taken* b) {
        return std::tie(a->WorkDay, b->Timed, a->Ms, a->Sequence) < std::tie(b->WorkDay, a->Timed, b->Ms, b->Sequence);
    });
    for (const Taken* t : values) {
        AqdefValue v = t->Value;
        v.Characteristic = position[t->Characteristic];
        input.Values.push_back(std::move(v));
    }
    return input;
}

std::vector<std::string> AqdefCollector::Warnings(size_t unreadBooks) const {
    std::vector<std::string> warnings;
    if (facts_.PartNumber.empty())
        warnings.push_back("部品情報に図番がありません: K1001 (部品番号) なしで書きます。部品情報で図番を設定してください");
    if (unreadBooks > 0)
        warnings.push_back("読めなかったブック " + std::to_string(unreadBooks) +
                           " 冊の値はありません: ファイルの K1900 にそう書きます");
    return warnings;
}

}  // namespace ziv::report
