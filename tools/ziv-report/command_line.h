#pragma once
// ziv-report on the command line: "day", "stats" and "values".
#include <string>
#include <vector>

namespace ziv::report {

// Runs one command; the exit code: 0 done (skipped books are counted on
// standard error), 1 bad arguments or unreadable input.
int RunCommandLine(const std::vector<std::string>& args);

}  // namespace ziv::report
