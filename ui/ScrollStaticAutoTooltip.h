// The scrolling text line of the skin's ADVERT_STRING control: a
// CSCScrollStatic whose tooltip always shows the text now scrolling, so the
// whole line can be read by hovering over it. Window thread only.
#pragma once

#include "libs/veneer/Controls.h"

namespace ui {

class CScrollStaticAutoTooltip : public veneer::CSCScrollStatic {
    Q_OBJECT
public:
    explicit CScrollStaticAutoTooltip(QWidget* parent = nullptr);

    // The scroll step first; then the tooltip becomes the current text.
    void OnTimer(int timerId) override;
};

} // namespace ui
