#pragma once
// What a customer's inspection record names a part by, kept per product in
// its folder: <product>/部品情報.txt, UTF-8 (the names of customers'
// parts and materials need not fit Shift_JIS), CR LF, one "key=value" a line:
//
//   顧客=株式会社サンプル
//   図番=AB-1234-01
//   改訂=C
//   品名=フランジ
//   材質=S45C
//
// 図番 is the part number or the drawing number, whichever the customer names
// the part by. Blanks around a key and a value are not part of them; a
// byte-order mark at the start (Notepad writes one) is skipped; lines with
// another key, comments ("#…") and anything else are kept as they are and
// written back after the five keys, so that a file edited by hand loses
// nothing when the report window saves it. A missing key is an empty value.
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/text_file.h"

namespace ziv::report {

struct PartFacts {
    std::string Customer, PartNumber, Revision, PartName, Material;
    // Lines of the file that are none of the five keys, in their order.
    std::vector<std::string> OtherLines;
    bool operator==(const PartFacts&) const = default;
};

// <product>/部品情報.txt
std::string PartFactsPath(const std::string& productDir);

struct PartFactsRead {
    ReadStatus status = ReadStatus::Missing;
    int err = 0;  // why it could not be read
    PartFacts facts;
};
PartFactsRead ReadPartFacts(const std::string& path, Disk& disk = RealDisk());
PartFacts ParsePartFacts(std::string_view bytes);

// The file's text. A value is one line: a line break or another control
// character in one is written as a blank, and blanks around it are dropped.
std::string PartFactsText(const PartFacts& facts);
// Written whole and atomically; refused, with nothing written, when the file
// exists but cannot be read.
FileResult SavePartFacts(const std::string& path, const PartFacts& facts, Disk& disk = RealDisk());

}  // namespace ziv::report
