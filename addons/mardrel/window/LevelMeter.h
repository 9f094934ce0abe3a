// The input level meter: a bar on a decibel scale (-60 dB to 0 dB) that
// follows the loudest sample of each update and falls back slowly, with a
// peak mark held for a second.
#pragma once

#include <QColor>
#include <QWidget>

namespace mardrel {

class LevelMeter : public QWidget {
public:
    explicit LevelMeter(QWidget* parent);
    // peak: the loudest sample since the last update, 0..1.
    void Update(float peak);
    void Reset();
    void SetColors(QColor background, QColor bar, QColor mark);
    // The bar's length, 0..1 of the scale.
    double Level() const { return m_level; }
    QSize sizeHint() const override { return {200, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_level = 0.0;
    double m_hold = 0.0;
    int m_holdTicks = 0;
    QColor m_background{30, 30, 30}, m_bar{80, 200, 120}, m_mark{240, 240, 240};
};

} // namespace mardrel
