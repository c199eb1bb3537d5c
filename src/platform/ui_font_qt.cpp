#include "platform/ui_font_qt.h"

#include <QStringList>

namespace ziv {

QFont UiFont(int pointSize) {
    QFont font;
    font.setFamilies(QStringList{QString::fromUtf8("ＭＳ ゴシック"), "IPAGothic", QString::fromUtf8("IPAゴシック"),
                                 "Noto Sans CJK JP", "VL Gothic", "Takao Gothic"});
    font.setPointSize(pointSize);
    return font;
}

}  // namespace ziv
