// An image strip of equal frames side by side, from a PNG or SVG file. SVG
// strips are rendered at the device pixel ratio of the target, so they stay
// sharp at any scale; a PNG strip uses "name@2x.png" beside it when the
// target is denser than 1x and that file exists. Internal to Veneer.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>

class QPainter;
class QSvgRenderer;

namespace veneer {

class CImageStrip {
public:
    // Null when the file does not decode.
    static std::shared_ptr<CImageStrip> Load(const QString& path);
    ~CImageStrip();

    // Logical size of the whole strip.
    QSize Size() const { return m_size; }
    QSize FrameSize(int frames) const;

    // The frame scaled to logicalSize, rendered for the ratio. Cached.
    QImage Frame(int index, int frames, QSize logicalSize, qreal dpr) const;

    // Draws the frame into target.
    void DrawFrame(QPainter& painter, const QRect& target, int index, int frames) const;
    // Draws the frame stretched along one axis, keeping caps of capLogical at
    // both ends (horizontal: left and right caps).
    void DrawThreeSlice(QPainter& painter, const QRect& target, int index, int frames,
                        Qt::Orientation orientation) const;
    // Draws the frame into target with fixed borders, the middle tiled or
    // stretched.
    void DrawNineSlice(QPainter& painter, const QRect& target, int index, int frames, int left,
                       int right, int top, int bottom, bool tile) const;

private:
    CImageStrip() = default;
    QImage Render(int index, int frames, QSize pixelSize) const;

    QSize m_size;
    std::unique_ptr<QSvgRenderer> m_svg;
    QImage m_image;   // 1x (or the only) bitmap
    QImage m_image2x; // optional @2x bitmap
    mutable std::map<std::uint64_t, QImage> m_cache;
};

// The strip behind an open image handle; null for an unknown handle or a file
// that does not decode. Each call for the same handle gives the same strip.
std::shared_ptr<CImageStrip> ImageFromHandle(std::int32_t handle);

qreal DevicePixelRatioOf(const QPainter& painter);

} // namespace veneer
