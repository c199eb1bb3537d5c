#pragma once
// A column of controls beside a window's main view. It is as wide as its
// controls need, and scrolls rather than making its window taller than the
// screen when more of them are shown at once than the screen holds.
#include <QScrollArea>

namespace ziv {

class ColumnScroll : public QScrollArea {
public:
    explicit ColumnScroll(QWidget* column, QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;
};

}  // namespace ziv
