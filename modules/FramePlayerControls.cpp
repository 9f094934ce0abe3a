#include "modules/FramePlayerControls.h"

#include "libs/veneer/Controls.h"
#include "modules/PlayerInterface.h"
#include "ui/ControlTable.h"
#include "ui/FrameControls.h"

namespace modules {

namespace {

int RowOf(EPlayerSlider kind) {
    switch (kind) {
    case EPlayerSlider::Position:
        return ui::kIdPlayerPosition;
    case EPlayerSlider::Volume:
        return ui::kIdPlayerVolume;
    case EPlayerSlider::Balance:
        return ui::kIdPlayerBalance;
    }
    return ui::kIdPlayerPosition;
}

std::string TooltipFor(EPlayerSlider kind, const veneer::CSCSlider& s) {
    switch (kind) {
    case EPlayerSlider::Position:
        return CPlayerInterface::PositionTooltip(s.value(), s.minimum(), s.maximum());
    case EPlayerSlider::Volume:
        return CPlayerInterface::VolumeTooltip(s.value(), s.minimum(), s.maximum());
    case EPlayerSlider::Balance:
        return CPlayerInterface::BalanceTooltip(s.value(), s.minimum(), s.maximum());
    }
    return {};
}

} // namespace

std::optional<int> CFramePlayerControls::FirstSliderPosition(EPlayerSlider kind) const {
    const auto sliders = m_controls.Sliders(RowOf(kind));
    if (sliders.empty()) return std::nullopt;
    return sliders.front()->GetPos();
}

void CFramePlayerControls::SetSliderPositions(EPlayerSlider kind, int position, bool skipCaptured) {
    for (veneer::CSCSlider* s : m_controls.Sliders(RowOf(kind))) {
        if (skipCaptured && s->isSliderDown()) continue;
        const int before = s->value();
        s->SetPos(position, true);
        // The position timer comes ten times a second; the tooltip follows
        // the value alone, so an unmoved slider keeps the one it has.
        if (s->value() != before || s->toolTip().isEmpty())
            s->SetTooltip(TooltipFor(kind, *s), s->StatusText());
    }
}

void CFramePlayerControls::RefreshTooltips(EPlayerSlider kind) {
    for (veneer::CSCSlider* s : m_controls.Sliders(RowOf(kind)))
        s->SetTooltip(TooltipFor(kind, *s), s->StatusText());
}

void CFramePlayerControls::SetControlEnabled(unsigned controlId, bool enabled) {
    for (veneer::CSkinBase* c : m_controls.FindControls(static_cast<int>(controlId)))
        c->GetWnd()->setEnabled(enabled);
}

void CFramePlayerControls::SetPlayPauseVisibility(bool playing) {
    const auto plays = m_controls.FindControls(ui::kIdPlayerPlay);
    const auto pauses = m_controls.FindControls(ui::kIdPlayerPause);
    for (veneer::CSkinBase* play : plays) {
        QWidget* p = play->GetWnd();
        for (veneer::CSkinBase* pause : pauses) {
            QWidget* q = pause->GetWnd();
            if (p->parentWidget() != q->parentWidget() || p->geometry() != q->geometry()) continue;
            p->setVisible(!playing);
            q->setVisible(playing);
        }
    }
}

} // namespace modules
