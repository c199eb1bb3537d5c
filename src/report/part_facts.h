#pragma once
// What a customer's inspection record names the part by, kept per product in
// its folder: <product>/部品情報.txt, UTF-8 (the names of customers'
// parts and materials need not fit Shift_JIS), CR LF, one "key=value" a line:
//
//   顧客=株式会社サンプル
//   図番=AB-1234-01
//   改訂=C
//   品名=フランジ
//   材質=S45C
//   報告書番号=QR-2026-031
//   発行元=山田精機株式会社 品質保証課
//   仕入先コード=V-0815
//   理由=初品
//   注文番号=PO-44120
//   発行日=2026-03-07
//   番号3.名称=外径
//   番号3.記号=⌀
//   番号3.単位=mm
//   番号3.桁数=3
//   番号3.重要=1
//   番号7.種類=粗さ
//   番号7.数量=5
//
// 図番 is the part number or the drawing number, whichever the customer names
// the part by; 理由 why the part was inspected (初品, 定期, 変更, ...); 発行日
// empty means the day the record is made. "番号n.…" describes point n as the
// drawing does: 名称 what it is, 種類 寸法, 幾何公差, 粗さ or 振れ (the last
// three cannot go below 0, see HasNaturalBoundary), 記号 its geometric symbol,
// 単位 (mm when empty), 桁数 the decimals the drawing gives, 数量 how many
// parts were inspected for it, 重要=1 a key characteristic.
//
// Blanks around a key and a value are not part of them; a byte-order mark at
// the start (Notepad writes one) is skipped; lines with another key, comments
// ("#…") and anything else are kept as they are and written back after the
// known keys, so that a file edited by hand loses nothing when the report
// window saves it. A missing key is an empty value. Files of the first five
// keys only read as before, and what read them before keeps the new lines as
// lines it does not know.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure.h"
#include "common/text_file.h"

namespace ziv::report {

// What a point of the drawing is, as far as its limits go.
enum class PointKind { Unnamed, Dimension, Geometric, Roughness, Runout };
// "寸法", "幾何公差", "粗さ", "振れ"; Unnamed for anything else.
PointKind PointKindOf(std::string_view text);

// Whether a point's lower limit is a natural boundary, a value the
// characteristic cannot go below (flatness, roughness, run-out are never
// negative), so that only its upper side tells anything of the process: for a
// point named 幾何公差, 粗さ or 振れ, a lower limit of 0 below a higher upper
// one ("1.6 / 0 / -1.6" as well as "0 / +0.02 / 0"); for a 寸法 never; for a
// point of no named kind, nominal 0 with a lower limit of 0.
bool HasNaturalBoundary(PointKind kind, double nominal, const std::optional<double>& lower,
                        const std::optional<double>& upper);

struct PointFacts {
    std::string Name, Kind, Symbol, Unit, Decimals, Quantity;
    bool Key = false;
    bool operator==(const PointFacts&) const = default;
    // 桁数 as a number of decimals 0..10; nothing when empty or anything else.
    std::optional<int> Places() const;
};

struct PartFacts {
    std::string Customer, PartNumber, Revision, PartName, Material;
    std::string ReportNumber, Issuer, SupplierCode, Reason, OrderNumber, IssueDate;
    std::map<int, PointFacts> Points;  // by point number
    // Lines of the file that are none of the known keys, in their order.
    std::vector<std::string> OtherLines;
    bool operator==(const PartFacts&) const = default;
    // The facts of a point; empty ones when there are none.
    const PointFacts& Of(int point) const;
    PointKind KindOf(int point) const { return PointKindOf(Of(point).Kind); }
};

// <product>/部品情報.txt
std::string PartFactsPath(const std::string& productDir);

// The file's keys in the order they are written, for the reader, the writer
// and the window that edits them.
struct PartFactKey {
    std::string_view Name;
    std::string PartFacts::*Field;
};
inline constexpr std::array<PartFactKey, 11> kPartFactKeys = {{{"顧客", &PartFacts::Customer},
                                                           {"図番", &PartFacts::PartNumber},
                                                           {"改訂", &PartFacts::Revision},
                                                           {"品名", &PartFacts::PartName},
                                                           {"材質", &PartFacts::Material},
                                                           {"報告書番号", &PartFacts::ReportNumber},
                                                           {"発行元", &PartFacts::Issuer},
                                                           {"仕入先コード", &PartFacts::SupplierCode},
                                                           {"理由", &PartFacts::Reason},
                                                           {"注文番号", &PartFacts::OrderNumber},
                                                           {"発行日", &PartFacts::IssueDate}}};
struct PointFactKey {
    std::string_view Name;
    std::string PointFacts::*Field;  // null: 重要
};
inline constexpr std::array<PointFactKey, 7> kPointFactKeys = {{{"名称", &PointFacts::Name},
                                                             {"種類", &PointFacts::Kind},
                                                             {"記号", &PointFacts::Symbol},
                                                             {"単位", &PointFacts::Unit},
                                                             {"桁数", &PointFacts::Decimals},
                                                             {"数量", &PointFacts::Quantity},
                                                             {"重要", nullptr}}};

struct PartFactsRead {
    ReadStatus status = ReadStatus::Missing;
    int err = 0;  // why it could not be read
    PartFacts facts;
};
PartFactsRead ReadPartFacts(const std::string& path, Disk& disk = RealDisk());
PartFacts ParsePartFacts(std::string_view bytes);

// Sets one field from "key=value" as the file writes it ("注文番号=PO-1",
// "番号3.単位=µm"); false, and nothing changed, for a key the file does not
// know or a point outside 1..100. "番号3.重要" takes 1 or 0.
bool SetPartFact(PartFacts& facts, std::string_view keyAndValue);

// The file's text. A value is one line: a line break or another control
// character in one is written as a blank, and blanks around it are dropped.
std::string PartFactsText(const PartFacts& facts);
// Written whole and atomically; refused, with nothing written, when the file
// exists but cannot be read.
FileResult SavePartFacts(const std::string& path, const PartFacts& facts, Disk& disk = RealDisk());

}  // namespace ziv::report
