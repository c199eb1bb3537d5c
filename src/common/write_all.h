#pragma once
// Writing a whole buffer at a place of an open file: a write may take only
// part of it, or be interrupted by a signal, and neither is a failure.
#include <sys/types.h>

#include <string_view>

namespace ziv {

// False, with errno set, when the system refused; nothing is synced here.
bool WriteAllAt(int fd, std::string_view bytes, off_t at);

}  // namespace ziv
