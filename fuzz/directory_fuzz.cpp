// libFuzzer target: any bytes as an operator's Directory.dat. Line k must be
// machine k's product folder (missing lines none), and what was read must
// save as exactly 48 lines and read back the same.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/paths.h"
#include "records/product_registry.h"

namespace ziv::fuzz::directory {

void CheckSaved(const ProductPathList& paths) {
    const std::string path = ScratchPath("Directory-saved.dat");
    // The fuzzer's scratch file is its own: no other station shares it.
    if (!SaveDirectoryFile({RealDisk(), NoFileLocks()}, path, paths)) {
        bool encodable = true;
        for (const auto& p : paths) encodable = encodable && ToCp932(p);
        ZIV_FUZZ_CHECK(!encodable);
        return;
    }
    auto bytes = ReadWholeFile(path);
    ZIV_FUZZ_CHECK(bytes && bytes->size() >= 2 * kMachineCount && bytes->substr(bytes->size() - 2) == "\r\n");
    ZIV_FUZZ_CHECK(SplitLines(FromCp932(*bytes)).size() == kMachineCount);
    ZIV_FUZZ_CHECK(LoadDirectoryFile(path) == paths);
}

int OneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = Bytes(data, size);
    const std::string path = ScratchPath("Directory.dat");
    PutFile(path, bytes);
    std::vector<std::string> lines = SplitLines(FromCp932(bytes));

    auto paths = LoadDirectoryFile(path);
    ZIV_FUZZ_CHECK(paths.has_value());
    for (size_t k = 0; k < paths->size(); ++k) {
        const std::string& folder = (*paths)[k];
        ZIV_FUZZ_CHECK(folder == (k < lines.size() ? lines[k] : std::string()));
        std::string name = GetProductName(folder);
        ZIV_FUZZ_CHECK(name.find(kPathSeparator) == std::string::npos);
        ZIV_FUZZ_CHECK(folder.size() >= name.size() &&
                       folder.compare(folder.size() - name.size(), name.size(), name) == 0);
    }
    CheckSaved(*paths);
    return 0;
}

}  // namespace ziv::fuzz::directory

ZIV_FUZZ_ENTRY_POINT(directory)
