#pragma once
// Which running system a process belongs to, as far as files on a shared
// folder can tell. A process number only means something on the same running
// kernel and in the same process namespace: PCs cloned from one disk image
// share their host name and machine id, but never their boot id.
#include <string>

namespace ziv {

// The boot id of the running kernel and this process's pid namespace; the
// same for every process that can see this one's process number.
const std::string& ThisComputer();

// True when process pid is known to be gone on this computer; false when it
// lives or cannot be asked.
bool ProcessGone(long pid);

}  // namespace ziv
