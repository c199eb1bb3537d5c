#include "report/part_facts.h"

#include <array>

#include "platform/paths.h"

namespace ziv::report {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct Key {
    std::string_view name;
    std::string PartFacts::*field;
};
constexpr std::array<Key, 5> kKeys = {{{"顧客", &PartFacts::Customer},
                                       {"図番", &PartFacts::PartNumber},
                                       {"改訂", &PartFacts::Revision},
                                       {"品名", &PartFacts::PartName},
                                       {"材質", &PartFacts::Material}}};

std::string_view TrimBlanks(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// A value as it reads back: one line, without blanks around it.
std::string ValueText(std::string_view text) {
    std::string value(text);
    for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return std::string(TrimBlanks(value));
}

std::string OneLine(std::string line) {
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

}  // namespace

std::string PartFactsPath(const std::string& productDir) { return JoinPath(productDir, "部品情報.txt"); }

PartFacts ParsePartFacts(std::string_view bytes) {
    if (bytes.starts_with(kBom)) bytes.remove_prefix(kBom.size());
    PartFacts facts;
    for (const std::string& line : SplitLines(bytes)) {
        size_t equals = line.find('=');
        const Key* known = nullptr;
        if (equals != std::string::npos)
            for (const Key& k : kKeys)
                if (TrimBlanks(std::string_view(line).substr(0, equals)) == k.name) known = &k;
        if (known) facts.*(known->field) = std::string(TrimBlanks(std::string_view(line).substr(equals + 1)));
        else facts.OtherLines.push_back(line);
    }
    // Blank lines at the end are the file's end, not something to keep.
    while (!facts.OtherLines.empty() && TrimBlanks(facts.OtherLines.back()).empty()) facts.OtherLines.pop_back();
    return facts;
}

PartFactsRead ReadPartFacts(const std::string& path, Disk& disk) {
    PartFactsRead read;
    StampedRead file = ReadStamped(path, disk, 1u << 20);
    if (file.missing()) return read;
    if (file.err) {
        read.status = ReadStatus::Unreadable;
        read.err = file.err;
        return read;
    }
    read.status = ReadStatus::Read;
    read.facts = ParsePartFacts(file.bytes);
    return read;
}

std::string PartFactsText(const PartFacts& facts) {
    std::string text;
    for (const Key& k : kKeys) text += std::string(k.name) + "=" + ValueText(facts.*(k.field)) + "\r\n";
    for (const std::string& line : facts.OtherLines) text += OneLine(line) + "\r\n";
    return text;
}

FileResult SavePartFacts(const std::string& path, const PartFacts& facts, Disk& disk) {
    StampedRead current = ReadStamped(path, disk, 1u << 20);
    if (current.err && !current.missing()) return Failed(Failure::Unreadable, path, current.err);
    return WriteFileAtomic(path, PartFactsText(facts), nullptr, {}, disk);
}

}  // namespace ziv::report
