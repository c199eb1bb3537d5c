#pragma once
// The operator's words for a failure, as the windows and tools show them.
#include <string>

#include "common/failure.h"

namespace ziv {

// The system's error inside a message: the Japanese of SystemErrorText,
// whatever the computer's language, or the system's own text (English on
// most installations) where a log wants it.
enum class ErrnoWords { System, Japanese };
std::string FailureText(const FileResult& result, ErrnoWords errnoWords = ErrnoWords::Japanese);
// Why a read failed (an errno of reading).
std::string ReadFailureText(int err);
// A system error in the operator's words: the usual causes named, any other
// by its number.
std::string SystemErrorText(int err);
// Why a workbook could not be read, without the file's name: the engine's
// reason for bytes that are no workbook (BookUnreadable), else the system's
// (Unreadable).
std::string BookReasonText(const FileResult& result);
// Why opening a workbook file failed, naming the file (Missing, Unreadable,
// BookUnreadable).
std::string BookOpenText(const FileResult& result);

}  // namespace ziv
