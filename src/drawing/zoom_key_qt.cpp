#include "drawing/zoom_key_qt.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace ziv {

bool ZoomKey::Tapped(const QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<const QKeyEvent*>(event);
            if (key->key() == Qt::Key_Control) {
                if (!key->isAutoRepeat()) spoiled_ = false;
            } else if (key->modifiers() & Qt::ControlModifier) {
                spoiled_ = true;
            }
            return false;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            if (static_cast<const QInputEvent*>(event)->modifiers() & Qt::ControlModifier) spoiled_ = true;
            return false;
        case QEvent::KeyRelease: {
            auto* key = static_cast<const QKeyEvent*>(event);
            if (key->key() != Qt::Key_Control || key->isAutoRepeat()) return false;
            bool alone = !spoiled_;
            spoiled_ = false;
            return alone;
        }
        default: return false;
    }
}

}  // namespace ziv
