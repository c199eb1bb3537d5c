#include "platform/column_scroll_qt.h"

#include <QScrollBar>

namespace ziv {

namespace {
// Low enough for any screen; the window's other parts decide its height.
constexpr int kLeastHeight = 100;
}  // namespace

ColumnScroll::ColumnScroll(QWidget* column, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The keys stay with the window's controls; the column is reached by the mouse.
    setFocusPolicy(Qt::NoFocus);
    setWidget(column);
}

// Room for the scroll bar is kept, so that the controls are never narrowed
// when it appears.
QSize ColumnScroll::minimumSizeHint() const {
    return {widget()->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width(), kLeastHeight};
}

QSize ColumnScroll::sizeHint() const {
    QSize column = widget()->sizeHint();
    return {column.width() + verticalScrollBar()->sizeHint().width(), column.height()};
}

}  // namespace ziv
