#include "ui/FrameSite.h"

#include <QWidget>
#include <algorithm>

namespace ui {

void IFrameSite::EnsureMinimumSize(int minWidth, int minHeight) {
    QWidget* frame = FrameWidget();
    if (!frame) return;
    frame->setMinimumSize(std::max(0, minWidth), std::max(0, minHeight));
    // resize keeps the top-left corner.
    frame->resize(std::max(frame->width(), minWidth), std::max(frame->height(), minHeight));
}

} // namespace ui
