#pragma once
// Ctrl tapped alone toggles the drawing's zoom. Ctrl+A, Ctrl+C, Ctrl+V or a
// Ctrl+click also end in a release of Ctrl; those belong to what was typed or
// clicked, never to the zoom.
class QEvent;

namespace ziv {

class ZoomKey {
public:
    // Sees every key and mouse event of a window; true for the release of a
    // Ctrl that nothing else came with.
    bool Tapped(const QEvent* event);

private:
    bool spoiled_ = false;
};

}  // namespace ziv
