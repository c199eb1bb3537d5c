// Every kept fuzz input (seeds and the inputs that once broke a reader) runs
// through the very function its fuzz target calls, so each check of the target
// stays in the normal test run. A failed check aborts the test's process and
// the last "input:" line of its output names the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "fuzz_targets.h"
#include "temp_root.h"

namespace {

namespace fs = std::filesystem;
namespace targets = ziv::fuzz;
using Entry = int (*)(const uint8_t*, size_t);

const std::string kSource = ZIV_SOURCE_DIR;
const std::set<std::string> kTargets = {"numbers",     "text",     "rs232c",   "operators",
                                        "directory", "point_table", "position", "workbook"};

std::string RegressionFolder(const std::string& target) { return kSource + "/tests/fuzz-regressions/" + target; }

// Runs every file of the folders; returns how many there were.
size_t RunInputs(Entry entry, const std::vector<std::string>& folders) {
    std::vector<fs::path> inputs;
    for (const auto& folder : folders)
        if (fs::is_directory(folder))
            for (const auto& file : fs::directory_iterator(folder))
                if (file.is_regular_file()) inputs.push_back(file.path());
    std::sort(inputs.begin(), inputs.end());
    for (const auto& input : inputs) {
        std::printf("input: %s\n", input.c_str());
        std::fflush(stdout);
        std::string bytes = ReadBytes(input.string());
        EXPECT_EQ(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0) << input;
    }
    return inputs.size();
}

TEST(FuzzRegressions, EveryFolderBelongsToATarget) {
    // A misnamed folder would never run, here or as seeds of the fuzzer.
    for (const auto& folder : fs::directory_iterator(kSource + "/tests/fuzz-regressions")) {
        std::string name = folder.path().filename().string();
        EXPECT_TRUE(kTargets.count(name)) << name;
    }
    for (const auto& target : kTargets)
        EXPECT_TRUE(fs::exists(kSource + "/fuzz/" + target + "_fuzz.cpp")) << target;
}

TEST(FuzzRegressions, Numbers) { EXPECT_GE(RunInputs(targets::numbers::OneInput, {RegressionFolder("numbers")}), 5u); }

TEST(FuzzRegressions, TextFiles) { EXPECT_GE(RunInputs(targets::text::OneInput, {RegressionFolder("text")}), 3u); }

TEST(FuzzRegressions, InstrumentLinksAndReplies) {
    EXPECT_GE(RunInputs(targets::rs232c::OneInput, {RegressionFolder("rs232c")}), 3u);
}

TEST(FuzzRegressions, OperatorLists) {
    EXPECT_GE(RunInputs(targets::operators::OneInput, {RegressionFolder("operators")}), 3u);
}

TEST(FuzzRegressions, DirectoryFile) {
    EXPECT_GE(RunInputs(targets::directory::OneInput, {RegressionFolder("directory")}), 2u);
}

TEST(FuzzRegressions, PointTable) {
    EXPECT_GE(RunInputs(targets::point_table::OneInput, {RegressionFolder("point_table")}), 2u);
}

TEST(FuzzRegressions, WindowPositions) {
    EXPECT_GE(RunInputs(targets::position::OneInput, {RegressionFolder("position")}), 2u);
}

TEST(FuzzRegressions, Workbook) {
    EXPECT_GE(
        RunInputs(targets::workbook::OneInput, {RegressionFolder("workbook"), kSource + "/tests/workbook/data"}),
        4u);
}

}  // namespace
