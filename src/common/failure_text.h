#pragma once
// The operator's words for a failure, as the windows and tools show them.
#include <string>

#include "common/failure.h"

namespace ziv {

std::string FailureText(const FileResult& result);
// Why a read failed (an errno of reading).
std::string ReadFailureText(int err);
// Why a workbook could not be read, without the file's name: the engine's
// reason for bytes that are no workbook (BookUnreadable), else the system's
// (Unreadable).
std::string BookReasonText(const FileResult& result);
// Why opening a workbook file failed, naming the file (Missing, Unreadable,
// BookUnreadable).
std::string BookOpenText(const FileResult& result);

}  // namespace ziv
