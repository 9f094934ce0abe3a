#include "window/WaveformBar.h"

#include "window/SkinColors.h"

#include <QMouseEvent>
#include <QPaintEvent>
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
    const int w = width();
    const int before = m_progress >= 0 ? static_cast<int>(m_progress * w) : -1;
    const int after = fraction >= 0 ? static_cast<int>(fraction * w) : -1;
    m_progress = fraction;
    // The position moves a few times a second while the marker moves a
    // column every second or so: repaint only the columns it crossed
    // (nothing while a drag shows its own marker).
    if (before == after || m_dragAt >= 0) return;
    if (before < 0 || after < 0) {
        update();
        return;
    }
    const int left = std::min(before, after);
    update(QRect(left, 0, std::max(before, after) - left + 1, height()));
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

void WaveformBar::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, m_back);
    const int w = width(), h = height(), mid = h / 2;
    const double shown = m_dragAt >= 0 ? m_dragAt : m_progress;
    const int playedX = shown >= 0 ? static_cast<int>(shown * w) : -1;
    if (m_peaks.empty()) {
        painter.fillRect(0, mid - 1, w, 2, m_rest);
        if (playedX > 0) painter.fillRect(0, mid - 1, playedX, 2, m_played);
        return;
    }
    for (int x = std::max(0, dirty.left()); x <= std::min(w - 1, dirty.right()); ++x) {
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
