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
//   K2001/i characteristic number  (the point number)
//   K2002/i characteristic name
//   K2101/i nominal value
//   K2110/i lower limit            (absolute: nominal + lower tolerance)
//   K2111/i upper limit
//   then for each value, in the order given:
//   K0001/i value
//   K0004/i date and time, dd.mm.yyyy/hh:mm:ss, the station's local time
//   K0006/i lot
//   K0008/i operator
//   K0010/i machine
//   K0012/i gauge (its control number)
//
// A value's further fields (K0004 … K0012) belong to the K0001 of the same
// index before them. A field with nothing to say is left out. Numbers are
// written with "." and no exponent, as short as reads back to the same
// number. A text is one line: a line break or other control character in it
// is written as a blank. The catalogue fields K0008, K0010 and K0012 are
// written as the texts the station knows (the operator's name, the machine
// number, the gauge's control number), not as catalogue numbers.
//
// Encoding: UTF-8 with a byte-order mark by default (Japanese names), or
// Shift_JIS for a reading program that takes only the Japanese Windows code page.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure.h"
#include "common/timestamp.h"

namespace ziv::report {

struct AqdefCharacteristic {
    int Point = 0;       // the point it is; values name it
    std::string Number;  // K2001
    std::string Name;    // K2002
    std::optional<double> Nominal, Lower, Upper;
};

struct AqdefValue {
    int Point = 0;
    double Value = 0;
    std::optional<Timestamp> Time;
    std::string Lot, Operator, Machine, Gauge;
};

struct AqdefInput {
    std::string PartNumber, PartName;
    std::vector<AqdefCharacteristic> Characteristics;
    std::vector<AqdefValue> Values;
};

enum class AqdefEncoding { Utf8, ShiftJis };

// The file's text (UTF-8, without a byte-order mark). Values of a point that
// is none of the characteristics are left out; *leftOut, when given, counts them.
std::string AqdefText(const AqdefInput& input, size_t* leftOut = nullptr);
// Written whole and atomically. NotShiftJis, with nothing written, when
// Shift_JIS is asked for and a text has no Shift_JIS form.
FileResult WriteAqdefFile(const std::string& path, const AqdefInput& input, AqdefEncoding encoding = AqdefEncoding::Utf8,
                          size_t* leftOut = nullptr);

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
std::optional<AqdefRead> ReadAqdefFile(const std::string& path, AqdefEncoding encoding = AqdefEncoding::Utf8);

// "07.03.2024/14:05:09"
std::string AqdefTimeText(const Timestamp& time);

}  // namespace ziv::report
