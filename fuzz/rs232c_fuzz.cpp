// libFuzzer target: any bytes as RS232C.dat and as ProductDir.dat, and the
// same bytes as an instrument's reply cut by each of the ten links read.
// Lines must land in key order, what was read must save and read back the
// same, and cutting must stay inside the reply.
#include <algorithm>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "fuzz_support.h"
#include "links/instrument_link.h"

namespace ziv::fuzz::rs232c {

constexpr size_t kLinkLines = std::tuple_size_v<InstrumentLinks> * InstrumentLink::kFieldCount;

void CheckLinks(const InstrumentLinks& links, const std::vector<std::string>& lines) {
    for (size_t n = 0; n < kLinkLines; ++n) {
        const std::string& field = links[n / InstrumentLink::kFieldCount].Field(n % InstrumentLink::kFieldCount);
        ZIV_FUZZ_CHECK(field == (n < lines.size() ? lines[n] : std::string()));
    }
}

void CheckSavedLinks(const InstrumentLinks& links) {
    const std::string path = ScratchPath("RS232C-saved.dat");
    if (!SaveInstrumentLinks(path, links)) {
        // Only a field with a character Shift_JIS lacks may refuse the save.
        bool encodable = true;
        for (const auto& link : links)
            for (int f = 0; f < InstrumentLink::kFieldCount; ++f) encodable = encodable && ToCp932(link.Field(f));
        ZIV_FUZZ_CHECK(!encodable);
        return;
    }
    ZIV_FUZZ_CHECK(LoadInstrumentLinks(path) == links);
}

void CheckProductFolder(const std::string& folder, const std::vector<std::string>& lines) {
    std::string last;
    for (const auto& line : lines)
        if (!line.empty()) last = line;
    ZIV_FUZZ_CHECK(folder == last);
}

void CheckReply(std::string_view reply, const InstrumentLink& link) {
    auto end = TerminatorChars(link.DeviceTerminator);
    ZIV_FUZZ_CHECK(ReplyComplete(reply, link) == (end && reply.find(*end) != std::string_view::npos));
    if (auto command = CommandText(link)) ZIV_FUZZ_CHECK(command->rfind(link.DataCommand, 0) == 0);
    (void)SerialSettingsText(link);

    auto start = WholeNumberFromText(link.DataStart);
    auto length = WholeNumberFromText(link.DataLength);
    auto value = CutReply(reply, link);
    bool cuttable = start && length && *start >= 1 && *length >= 0;
    ZIV_FUZZ_CHECK(value.has_value() == cuttable);
    if (!value) return;
    // The instrument counts characters: the cut is whole UTF-8 characters.
    std::vector<size_t> starts;
    for (size_t i = 0; i < reply.size(); ++i)
        if ((static_cast<unsigned char>(reply[i]) & 0xC0) != 0x80) starts.push_back(i);
    starts.push_back(reply.size());
    size_t characters = starts.size() - 1;
    size_t from = static_cast<size_t>(*start) - 1;
    if (from >= characters) {
        ZIV_FUZZ_CHECK(value->empty());
        return;
    }
    size_t to = std::min(characters, from + static_cast<size_t>(*length));
    ZIV_FUZZ_CHECK(*value == reply.substr(starts[from], starts[to] - starts[from]));
}

int OneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = Bytes(data, size);
    const std::string path = ScratchPath("RS232C.dat");
    PutFile(path, bytes);
    std::vector<std::string> lines = SplitLines(FromCp932(bytes));

    InstrumentLinks links = LoadInstrumentLinks(path);
    CheckLinks(links, lines);
    CheckSavedLinks(links);
    CheckProductFolder(LoadProductFolder(path), lines);
    for (const auto& link : links) CheckReply(bytes, link);
    return 0;
}

}  // namespace ziv::fuzz::rs232c

ZIV_FUZZ_ENTRY_POINT(rs232c)
