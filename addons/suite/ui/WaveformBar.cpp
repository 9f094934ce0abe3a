#include "ui/WaveformBar.h"

#include "ui/SkinColors.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace suite {

WaveformBar::WaveformBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SuiteWaveform"));
    setMinimumHeight(40);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click or drag to seek"));
}

void WaveformBar::SetPeaks(std::vector<float> peaks) {
    m_peaks = std::move(peaks);
    update();
}

void WaveformBar::SetProgress(double fraction) {
    if (fraction == m_progress) return;
    m_progress = fraction;
    update();
}

void WaveformBar::ApplySkin(ISkin* skin) {
    if (!skin) return;
    m_played = SkinColor(skin, kSkinHighlight);
    m_rest = SkinColor(skin, kSkinBorder);
    m_back = SkinColor(skin, kSkinList);
    update();
}

double WaveformBar::FractionAt(const QPoint& p) const {
    return width() > 0 ? std::clamp(p.x() / static_cast<double>(width()), 0.0, 1.0) : 0.0;
}

void WaveformBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_back);
    const int w = width(), h = height(), mid = h / 2;
    const double shown = m_dragAt >= 0 ? m_dragAt : m_progress;
    const int playedX = shown >= 0 ? static_cast<int>(shown * w) : -1;
    if (m_peaks.empty()) {
        painter.fillRect(0, mid - 1, w, 2, m_rest);
        if (playedX > 0) painter.fillRect(0, mid - 1, playedX, 2, m_played);
        return;
    }
    for (int x = 0; x < w; ++x) {
        const std::size_t i =
            static_cast<std::size_t>(x) * m_peaks.size() / static_cast<std::size_t>(w);
        const int half = std::max(1, static_cast<int>(m_peaks[i] * (h / 2 - 2)));
        painter.fillRect(x, mid - half, 1, 2 * half, x < playedX ? m_played : m_rest);
    }
    if (playedX >= 0) painter.fillRect(std::min(playedX, w - 1), 0, 1, h, m_played);
}

void WaveformBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragAt = FractionAt(event->position().toPoint());
    update();
}

void WaveformBar::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragAt < 0) return;
    m_dragAt = FractionAt(event->position().toPoint());
    update();
}

void WaveformBar::mouseReleaseEvent(QMouseEvent* event) {
    if (m_dragAt < 0 || event->button() != Qt::LeftButton) return;
    const double at = FractionAt(event->position().toPoint());
    m_dragAt = -1.0;
    m_progress = at;
    update();
    Q_EMIT SeekRequested(at);
}

} // namespace suite
