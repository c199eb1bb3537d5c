#include "platform/station_identity.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>

#include "common/text_file.h"
#include "platform/paths.h"

namespace ziv {

namespace {

bool IsIdentity(const std::string& text) {
    return text.size() == 32 &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

std::string NewIdentity() {
    std::random_device random;
    std::string id;
    for (int k = 0; k < 4; ++k) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        id += part;
    }
    return id;
}

}  // namespace

std::string StationIdentityPath(const std::string& root) {
    return JoinPath(JoinPath(root, "Config"), "Station.dat");
}

std::string StationIdentity(const std::string& root) {
    std::string path = StationIdentityPath(root);
    if (auto lines = ReadTextLines(path); lines && !lines->empty() && IsIdentity(lines->front()))
        return lines->front();
    std::string id = NewIdentity();
    if (MakeFolders(JoinPath(root, "Config"))) static_cast<void>(WriteTextFile(path, id + "\r\n"));
    return id;
}

}  // namespace ziv
