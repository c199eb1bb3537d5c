#pragma once
// The one conversion between the rules' UTF-8 texts and Qt's strings.
#include <QString>
#include <string>

namespace ziv {

inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string S(const QString& text) { return text.toStdString(); }

}  // namespace ziv
