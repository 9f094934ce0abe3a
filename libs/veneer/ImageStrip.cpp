#include "libs/veneer/ImageStrip.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <unordered_map>

#include "libs/veneer/Resources.h"

namespace veneer {

namespace {
struct SHandle {
    QString path;
    bool tried = false;
    std::shared_ptr<CImageStrip> strip;
};
std::unordered_map<std::int32_t, SHandle>& Handles() {
    static std::unordered_map<std::int32_t, SHandle> handles;
    return handles;
}
std::int32_t g_nextHandle = 1;
} // namespace

std::int32_t OpenImageFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    // Wrap round well before the sign bit: handles stay positive.
    if (g_nextHandle >= 0x3FFFFFFF) g_nextHandle = 1;
    const std::int32_t h = g_nextHandle++;
    Handles()[h] = SHandle{QString::fromStdString(path), false, nullptr};
    return h;
}

void CloseImageFile(std::int32_t handle) {
    Handles().erase(handle);
}

int OpenImageFileCount() {
    return static_cast<int>(Handles().size());
}

std::shared_ptr<CImageStrip> ImageFromHandle(std::int32_t handle) {
    auto it = Handles().find(handle);
    if (it == Handles().end()) return nullptr;
    if (!it->second.tried) {
        it->second.tried = true;
        it->second.strip = CImageStrip::Load(it->second.path);
    }
    return it->second.strip;
}

qreal DevicePixelRatioOf(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    return device ? device->devicePixelRatioF() : 1.0;
}

CImageStrip::~CImageStrip() = default;

std::shared_ptr<CImageStrip> CImageStrip::Load(const QString& path) {
    std::shared_ptr<CImageStrip> strip(new CImageStrip);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        auto svg = std::make_unique<QSvgRenderer>(path);
        if (!svg->isValid()) return nullptr;
        QSize size = svg->defaultSize();
        if (size.isEmpty()) size = svg->viewBox().size();
        if (size.isEmpty()) return nullptr;
        strip->m_size = size;
        strip->m_svg = std::move(svg);
        return strip;
    }
    QImage image(path);
    if (image.isNull()) return nullptr;
    strip->m_image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    strip->m_size = image.size();
    const QFileInfo info(path);
    const QString hi = info.path() + QLatin1Char('/') + info.completeBaseName() +
                       QStringLiteral("@2x.") + info.suffix();
    QImage image2x(hi);
    if (!image2x.isNull() && image2x.size() == image.size() * 2)
        strip->m_image2x = image2x.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return strip;
}

QSize CImageStrip::FrameSize(int frames) const {
    if (frames < 1) frames = 1;
    return QSize(m_size.width() / frames, m_size.height());
}

QImage CImageStrip::Render(int index, int frames, QSize pixelSize) const {
    if (frames < 1) frames = 1;
    if (index < 0 || index >= frames || pixelSize.isEmpty()) return QImage();
    QImage out(pixelSize, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_svg) {
        // The whole strip is laid out so that only this frame falls on the
        // image; the vector drawing is scaled, not the pixels.
        const QRectF strip(-index * pixelSize.width(), 0, pixelSize.width() * frames,
                           pixelSize.height());
        m_svg->render(&p, strip);
    } else {
        const bool dense = !m_image2x.isNull() && pixelSize.width() * frames > m_size.width();
        const QImage& src = dense ? m_image2x : m_image;
        const int fw = src.width() / frames;
        p.drawImage(QRect(QPoint(0, 0), pixelSize), src, QRect(index * fw, 0, fw, src.height()));
    }
    return out;
}

QImage CImageStrip::Frame(int index, int frames, QSize logicalSize, qreal dpr) const {
    const QSize px(static_cast<int>(std::ceil(logicalSize.width() * dpr)),
                   static_cast<int>(std::ceil(logicalSize.height() * dpr)));
    const std::uint64_t key =
        (std::uint64_t(index & 0xFF) << 56) | (std::uint64_t(frames & 0xFF) << 48) |
        (std::uint64_t(px.width() & 0xFFFFFF) << 24) | std::uint64_t(px.height() & 0xFFFFFF);
    auto it = m_cache.find(key);
    if (it != m_cache.end()) return it->second;
    // A bound on the cache: sizes change with every resize of a stretched
    // control, so old entries are dropped wholesale.
    if (m_cache.size() > 64) m_cache.clear();
    QImage image = Render(index, frames, px);
    image.setDevicePixelRatio(dpr);
    m_cache.emplace(key, image);
    return image;
}

void CImageStrip::DrawFrame(QPainter& painter, const QRect& target, int index, int frames) const {
    const QImage image = Frame(index, frames, target.size(), DevicePixelRatioOf(painter));
    if (!image.isNull()) painter.drawImage(target.topLeft(), image);
}

void CImageStrip::DrawThreeSlice(QPainter& painter, const QRect& target, int index, int frames,
                                 Qt::Orientation orientation) const {
    const QSize fs = FrameSize(frames);
    if (fs.isEmpty() || target.isEmpty()) return;
    // The frame is scaled to the target's thickness; the caps keep all but
    // the two middle pixels of its length, which are stretched.
    if (orientation == Qt::Horizontal) {
        const int w = std::max(2, fs.width() * target.height() / std::max(1, fs.height()));
        const int cap = std::max(0, std::min(w / 2 - 1, target.width() / 2));
        DrawNineSlice(painter, target, index, frames, cap, cap, 0, 0, false);
    } else {
        const int h = std::max(2, fs.height() * target.width() / std::max(1, fs.width()));
        const int cap = std::max(0, std::min(h / 2 - 1, target.height() / 2));
        DrawNineSlice(painter, target, index, frames, 0, 0, cap, cap, false);
    }
}

void CImageStrip::DrawNineSlice(QPainter& painter, const QRect& target, int index, int frames,
                                int left, int right, int top, int bottom, bool tile) const {
    const QSize fs = FrameSize(frames);
    if (fs.isEmpty() || target.isEmpty()) return;
    const qreal dpr = DevicePixelRatioOf(painter);
    // Render the frame at its natural size, or, for a three-slice of a
    // thicker target, at the target's thickness along the fixed axis.
    QSize natural = fs;
    if (top == 0 && bottom == 0 && target.height() != fs.height())
        natural = QSize(std::max(1, fs.width() * target.height() / fs.height()), target.height());
    else if (left == 0 && right == 0 && target.width() != fs.width())
        natural = QSize(target.width(), std::max(1, fs.height() * target.width() / fs.width()));
    const QImage src = Frame(index, frames, natural, dpr);
    if (src.isNull()) return;
    left = std::clamp(left, 0, natural.width());
    right = std::clamp(right, 0, natural.width() - left);
    top = std::clamp(top, 0, natural.height());
    bottom = std::clamp(bottom, 0, natural.height() - top);

    const auto S = [dpr](int v) { return static_cast<int>(std::lround(v * dpr)); };
    const int sx[4] = {0, S(left), S(natural.width() - right), src.width()};
    const int sy[4] = {0, S(top), S(natural.height() - bottom), src.height()};
    const int tx[4] = {target.left(), target.left() + left, target.right() + 1 - right,
                       target.right() + 1};
    const int ty[4] = {target.top(), target.top() + top, target.bottom() + 1 - bottom,
                       target.bottom() + 1};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const QRect dst(QPoint(tx[c], ty[r]), QPoint(tx[c + 1] - 1, ty[r + 1] - 1));
            const QRect from(QPoint(sx[c], sy[r]), QPoint(sx[c + 1] - 1, sy[r + 1] - 1));
            if (dst.width() <= 0 || dst.height() <= 0 || from.width() <= 0 || from.height() <= 0)
                continue;
            const bool middle = (c == 1 || r == 1);
            if (tile && middle) {
                QImage piece = src.copy(from);
                piece.setDevicePixelRatio(dpr);
                painter.drawTiledPixmap(dst, QPixmap::fromImage(piece));
            } else {
                painter.drawImage(dst, src, from);
            }
        }
    }
}

} // namespace veneer
