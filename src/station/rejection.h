#pragma once
// The rejection log: one small text file per rejected value, named after the
// record itself so the folder listing reads as the list of rejections.
#include <string>

#include "common/text_file.h"

namespace ziv {

struct RejectionFacts {
    std::string WorkYear, WorkMonth, WorkDay;
    std::string UserName;
    int MachineNumber = 0;
    std::string ProductName;
    std::string Nominal, Upper, Lower, Measured;  // cells 寸法, 上限, 下限, 測定値 as text
};

// 2024年3月7日_検査員1_3号機_A-100_規格［10］_上限［0.02］_下限［-0.01］_実測値［10.02］
std::string RejectionRecord(const RejectionFacts& facts);

// The file name: the record, where characters no file name can hold on Linux
// or Windows (/ \ : * ? " < > | and control characters) become their
// full-width forms, so typed texts can never leave the rejection folder.
// Beyond 255 bytes the product and operator names are shortened and a digest
// of the whole record is added, so different records never share a file.
std::string RejectionFileName(const RejectionFacts& facts);

// The content: each "_" becomes CR LF, nothing after the last item.
std::string RejectionContent(const std::string& record);

// <product folder>/ＺＩＶログ/不合格記録
std::string RejectionFolder(const std::string& productFolder);

// Writes (creates or replaces) the file; the path written goes to *path.
FileResult WriteRejectionFile(const std::string& productFolder, const RejectionFacts& facts,
                               std::string* path = nullptr, Disk& disk = RealDisk());

}  // namespace ziv
