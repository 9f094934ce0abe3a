// A seek bar drawn as the outline of the whole track: the part played in the
// skin's highlight colour, the rest in its border colour. A click or a drag
// asks to seek there.
#pragma once

#include <QWidget>
#include <vector>

class ISkin;

namespace suite {

class WaveformBar : public QWidget {
    Q_OBJECT
public:
    explicit WaveformBar(QWidget* parent);
    void SetPeaks(std::vector<float> peaks);
    // 0..1 of the track played; negative hides the marker.
    void SetProgress(double fraction);
    void ApplySkin(ISkin* skin);
    QSize sizeHint() const override { return {400, 56}; }

Q_SIGNALS:
    void SeekRequested(double fraction);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double FractionAt(const QPoint& p) const;
    std::vector<float> m_peaks;
    double m_progress = -1.0;
    double m_dragAt = -1.0; // while the mouse is down: where it would seek
    QColor m_played{62, 166, 255};
    QColor m_rest{90, 96, 110};
    QColor m_back{21, 23, 28};
};

} // namespace suite
