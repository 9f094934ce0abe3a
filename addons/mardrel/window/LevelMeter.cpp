#include "window/LevelMeter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace mardrel {

namespace {
constexpr double kFloorDb = -60.0;
constexpr double kFallPerUpdate = 0.03; // of the scale, about 1.8 dB
constexpr int kHoldUpdates = 20;
} // namespace

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MardrelLevel"));
    setMinimumHeight(12);
}

void LevelMeter::Update(float peak) {
    const double db = peak > 0.0f ? 20.0 * std::log10(static_cast<double>(peak)) : kFloorDb;
    const double level = std::clamp((db - kFloorDb) / -kFloorDb, 0.0, 1.0);
    m_level = std::max(level, m_level - kFallPerUpdate);
    if (level >= m_hold || --m_holdTicks <= 0) {
        m_hold = level;
        m_holdTicks = kHoldUpdates;
    }
    update();
}

void LevelMeter::Reset() {
    m_level = m_hold = 0.0;
    m_holdTicks = 0;
    update();
}

void LevelMeter::SetColors(QColor background, QColor bar, QColor mark) {
    m_background = background;
    m_bar = bar;
    m_mark = mark;
    update();
}

void LevelMeter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, m_background);
    p.setPen(m_mark.darker(160));
    p.drawRect(r);
    const int inner = r.width() - 2;
    const int w = static_cast<int>(m_level * inner);
    // The last sixth of the scale (above -10 dB) in a warning colour.
    const int warn = inner * 5 / 6;
    p.fillRect(QRect(r.left() + 1, r.top() + 1, std::min(w, warn), r.height() - 1), m_bar);
    if (w > warn)
        p.fillRect(QRect(r.left() + 1 + warn, r.top() + 1, w - warn, r.height() - 1),
                   QColor(230, 90, 60));
    if (m_hold > 0.0) {
        const int x = r.left() + 1 + static_cast<int>(m_hold * inner);
        p.setPen(m_mark);
        p.drawLine(x, r.top() + 1, x, r.bottom());
    }
}

} // namespace mardrel
