#pragma once
#include <QFont>

namespace ziv {
// "ＭＳ ゴシック" where it exists, else IPAGothic or any Japanese font.
QFont UiFont(int pointSize = 10);
}
