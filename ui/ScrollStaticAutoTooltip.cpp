#include "ui/ScrollStaticAutoTooltip.h"

namespace ui {

CScrollStaticAutoTooltip::CScrollStaticAutoTooltip(QWidget* parent)
    : veneer::CSCScrollStatic(parent) {}

void CScrollStaticAutoTooltip::OnTimer(int timerId) {
    veneer::CSCScrollStatic::OnTimer(timerId);
    if (timerId == kScrollTimer) SetTooltip(Text().toStdString(), {});
}

} // namespace ui
