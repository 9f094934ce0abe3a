#include "shell/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace shell {

namespace {

constexpr qreal kMarkWidth = 104;
constexpr qreal kMarkHeight = 74;

} // namespace

void PaintProgramMark(QPainter& p, const QRectF& area) {
    const qreal sx = area.width() / kMarkWidth;
    const qreal sy = area.height() / kMarkHeight;
    const qreal base = area.bottom();
    for (int i = 0; i < 9; ++i) {
        const qreal h = (18 + ((i * 37) % 60)) * sy;
        QLinearGradient bar(0, base - h, 0, base);
        bar.setColorAt(0, QColor(0x4f, 0xd1, 0xc5));
        bar.setColorAt(1, QColor(0x2b, 0x6c, 0xb0));
        p.fillRect(QRectF(area.left() + i * 12 * sx, base - h, 8 * sx, h), bar);
    }
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, size, size);
        g.setColorAt(0, QColor(0x1e, 0x2a, 0x3f));
        g.setColorAt(1, QColor(0x0d, 0x10, 0x17));
        QPainterPath square;
        square.addRoundedRect(QRectF(0, 0, size, size), size * 0.18, size * 0.18);
        p.fillPath(square, g);
        const qreal margin = size * 0.16;
        const qreal width = size - 2 * margin;
        const qreal height = width * kMarkHeight / kMarkWidth;
        PaintProgramMark(p, QRectF(margin, (size - height) / 2, width, height));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace shell
