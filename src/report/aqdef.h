#pragma once
// The values of a range for a customer's SPC system, in the AQDEF (Q-DAS
// ASCII transfer) format: one field a line, "K" and four digits naming the
// field, for a characteristic's field "/" and its index (1 = the first
// characteristic of the file; /0 would mean all of them), a blank, and the
// field's content; CR LF after each line. Written here (a .dfq file holds the
// description and the values together):
//
//   K0100 n                   number of characteristics in the file
//   K1001 part number         (図番 of the part facts)
//   K1002 part name           (品名)
//   K1032 material, K1062 customer, K1071 supplier code, K1072 supplier
//   (発行元), K1110 order number, K1203 reason for the test (理由)
//   K1900 remark: what the file lacks (books that could not be read, no part number)
//   K2001/i characteristic number  (the point number; "3-2" for its second set of limits)
//   K2002/i characteristic description
//   K2004/i type: 0 variable, 1 attributive (a point judged OK / NG)
//   K2022/i decimal places as drawn
//   K2101/i nominal value
//   K2110/i lower limit            (absolute: nominal + lower tolerance)
//   K2111/i upper limit
//   K2120/i, K2121/i type of the lower / upper limit: 2 a natural boundary
//                                  (written only for one)
//   K2142/i unit
//   then for each value, in the order given:
//   K0001/i value (attributive: 0 conforming, 1 not)
//   K0004/i date and time, dd.mm.yyyy/hh:mm:ss, the station's local time;
//           left out where the time is not known
//   K0006/i lot
//   K0009/i text (the gauge's control number)
//   K0014/i part identification
//   K0020/i subgroup size (1; attributive values only)
//
// A value's further fields (K0004 …) belong to the K0001 of the same index
// before them. A field with nothing to say is left out. Numbers are the
// decimal texts given, as drawn. A text is one line: a line break or other
// control character in it is written as a blank. The catalogue fields K0008
// (operator), K0010 (machine) and K0012 (gauge) take numbers of the
// receiving system's catalogues, which the station does not know: they are
// left out, and K0014 names the book (date, machine, operator) instead.
//
// Encoding: the Japanese Windows code page (CP932, Shift_JIS) without a
// byte-order mark by default — what a Japanese Windows SPC system reads as
// plain text, and the code page the station's own files use; Windows-1252
// cannot hold a Japanese name. UTF-8, with or without a byte-order mark, on
// request.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure.h"
#include "common/timestamp.h"

namespace ziv::report {

struct AqdefCharacteristic {
    std::string Number;  // K2001
    std::string Name;    // K2002
    bool Attributive = false;
    std::optional<int> Decimals;
    std::string Nominal, Lower, Upper;  // decimal texts; empty: none
    bool LowerNatural = false, UpperNatural = false;
    std::string Unit;
    bool operator==(const AqdefCharacteristic&) const = default;
};

struct AqdefValue {
    size_t Characteristic = 0;  // index into AqdefInput::Characteristics
    std::string Value;          // decimal text; attributive "0" or "1"
    std::optional<Timestamp> Time;
    std::string Lot, Text, PartId;
};

struct AqdefInput {
    std::string PartNumber, PartName, Material, Customer, SupplierCode, Supplier, OrderNumber, Reason, Remark;
    std::vector<AqdefCharacteristic> Characteristics;
    std::vector<AqdefValue> Values;
};

enum class AqdefEncoding { Cp932, Utf8, Utf8Bom };

// The file's text (UTF-8, without a byte-order mark). Values of no
// characteristic are left out.
std::string AqdefText(const AqdefInput& input);
// Written whole and atomically. NotShiftJis, with nothing written, when
// CP932 is asked for and a text has no form in it.
FileResult WriteAqdefFile(const std::string& path, const AqdefInput& input, AqdefEncoding encoding = AqdefEncoding::Cp932);

// One field as the file holds it.
struct AqdefField {
    int Key = 0;               // 1001 for K1001
    std::optional<int> Index;  // the characteristic after "/", when there is one
    std::string Content;
    bool operator==(const AqdefField&) const = default;
};
struct AqdefRead {
    std::vector<AqdefField> Fields;
    size_t Damaged = 0;  // lines that are not fields
};
// Reads the fields of a file's text (UTF-8; a byte-order mark is skipped).
AqdefRead ParseAqdef(std::string_view text);
// Reads a file; nothing when it cannot be read.
std::optional<AqdefRead> ReadAqdefFile(const std::string& path, AqdefEncoding encoding = AqdefEncoding::Cp932);

// "07.03.2024/14:05:09"
std::string AqdefTimeText(const Timestamp& time);

}  // namespace ziv::report
