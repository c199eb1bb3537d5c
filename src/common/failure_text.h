#pragma once
// The operator's words for a failure, as the windows and tools show them.
#include <string>

#include "common/failure.h"

namespace ziv {

std::string FailureText(const FileResult& result);
// Why a read failed (an errno of reading).
std::string ReadFailureText(int err);

}  // namespace ziv
