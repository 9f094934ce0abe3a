#include "libs/veneer/SurroundView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "libs/ambio/SpeakerLayout.h"
#include "libs/veneer/Colors.h"

namespace veneer {

CSCSurroundView::CSCSurroundView(bool on, QWidget* parent) : QAbstractButton(parent), m_on(on) {
    setObjectName(QStringLiteral("SurrView"));
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(false);
}

bool CSCSurroundView::TakeResources(const _UNKNOWN_RESOURCES_*) {
    // Drawn from the skin's colours only; there is no image to take.
    return false;
}

void CSCSurroundView::SetMode(int mode) {
    m_mode = mode;
    update();
}

void CSCSurroundView::SetSoundPos(float x, float y, float roomWidth, float roomHeight) {
    if (roomWidth > 0 && std::isfinite(x)) m_x = std::clamp(x / roomWidth, 0.0f, 1.0f);
    if (roomHeight > 0 && std::isfinite(y)) m_y = std::clamp(y / roomHeight, 0.0f, 1.0f);
    update();
}

void CSCSurroundView::SetOn(bool on) {
    m_on = on;
    update();
}

QRectF CSCSurroundView::Room() const {
    return QRectF(rect()).adjusted(1, 1, -1, -1);
}

QPointF CSCSurroundView::MarkerPoint() const {
    if (m_dragging) return m_dragPoint;
    const QRectF r = Room();
    return {r.left() + m_x * r.width(), r.top() + m_y * r.height()};
}

QPoint CSCSurroundView::Clamped(const QPointF& p) const {
    return {std::clamp(static_cast<int>(std::lround(p.x())), 0, std::max(0, width() - 1)),
            std::clamp(static_cast<int>(std::lround(p.y())), 0, std::max(0, height() - 1))};
}

void CSCSurroundView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF room = Room();
    const double unit = std::max(4.0, std::min(room.width(), room.height()) / 14.0);
    QColor floor = SkinColor(lacquer::kColorEdit);
    QColor wall = SkinColor(lacquer::kColorBorder);
    QColor face = SkinColor(lacquer::kColorFace);
    QColor faceText = SkinColor(lacquer::kColorFaceText);
    QColor mark = SkinColor(lacquer::kColorHighlight);
    if (!m_on || !isEnabled()) {
        // Off: the same room, faded towards the floor.
        auto fade = [&](QColor c) {
            return QColor((c.red() + floor.red()) / 2, (c.green() + floor.green()) / 2,
                          (c.blue() + floor.blue()) / 2);
        };
        wall = fade(wall);
        face = fade(face);
        faceText = fade(faceText);
        mark = fade(mark);
    }
    p.fillRect(rect(), floor);
    p.setPen(QPen(wall, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(room);

    // The listener in the middle, facing the front (top).
    const QPointF centre = room.center();
    const double radius = std::min(room.width(), room.height()) * 0.36;
    p.setPen(QPen(wall, 1.0, Qt::DotLine));
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(faceText, 1.2));
    p.setBrush(face);
    p.drawEllipse(centre, unit * 0.7, unit * 0.7);
    QPainterPath nose;
    nose.moveTo(centre + QPointF(-unit * 0.3, -unit * 0.6));
    nose.lineTo(centre + QPointF(0, -unit * 1.1));
    nose.lineTo(centre + QPointF(unit * 0.3, -unit * 0.6));
    p.drawPath(nose);

    // The speakers of the mode, each a small box turned towards the listener.
    const ambio::SpeakerLayout layout = ambio::MakeLayout(ambio::SpeakerModeMask(m_mode));
    for (int i = 0; i < layout.ringCount; ++i) {
        const double az = layout.ringAzimuth[static_cast<std::size_t>(i)] * M_PI / 180.0;
        const QPointF at = centre + QPointF(std::sin(az) * radius, -std::cos(az) * radius);
        p.save();
        p.translate(at);
        p.rotate(layout.ringAzimuth[static_cast<std::size_t>(i)]);
        p.setPen(QPen(faceText, 1.2));
        p.setBrush(face);
        p.drawRect(QRectF(-unit * 0.55, -unit * 0.45, unit * 1.1, unit * 0.9));
        QPainterPath cone;
        cone.moveTo(-unit * 0.35, unit * 0.45);
        cone.lineTo(-unit * 0.6, unit * 0.85);
        cone.lineTo(unit * 0.6, unit * 0.85);
        cone.lineTo(unit * 0.35, unit * 0.45);
        p.drawPath(cone);
        p.restore();
    }
    if (layout.lfeChannel >= 0) {
        // The LFE box: anywhere works for low notes; it sits in the front
        // left corner, clear of the front speakers.
        const QPointF at = centre + QPointF(-radius * 1.15, -radius * 0.75);
        p.setPen(QPen(faceText, 1.2));
        p.setBrush(face);
        p.drawRoundedRect(QRectF(at.x() - unit * 0.6, at.y() - unit * 0.45, unit * 1.2, unit * 0.9),
                          unit * 0.15, unit * 0.15);
        p.setBrush(faceText);
        p.drawEllipse(at, unit * 0.22, unit * 0.22);
    }

    // The sound.
    const QPointF m = MarkerPoint();
    p.setPen(QPen(mark, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(m, unit * 1.1, unit * 1.1);
    p.setBrush(mark);
    p.drawEllipse(m, unit * 0.55, unit * 0.55);
}

void CSCSurroundView::mousePressEvent(QMouseEvent* e) {
    const QPointF at = e->position();
    const QPointF m = MarkerPoint();
    const double grab = std::max(6.0, std::min(width(), height()) / 10.0);
    if (m_draggable && e->button() == Qt::LeftButton &&
        std::hypot(at.x() - m.x(), at.y() - m.y()) <= grab) {
        m_dragging = true;
        m_dragPoint = Clamped(at);
        update();
        return;
    }
    QAbstractButton::mousePressEvent(e);
}

void CSCSurroundView::mouseMoveEvent(QMouseEvent* e) {
    if (!m_dragging) return QAbstractButton::mouseMoveEvent(e);
    const QPoint p = Clamped(e->position());
    m_dragPoint = p;
    update();
    Q_EMIT MarkerMoving(p.x(), p.y());
}

void CSCSurroundView::mouseReleaseEvent(QMouseEvent* e) {
    if (!m_dragging) return QAbstractButton::mouseReleaseEvent(e);
    m_dragging = false;
    const QPoint p = Clamped(e->position());
    const QRectF r = Room();
    if (r.width() > 0)
        m_x = static_cast<float>(std::clamp((p.x() - r.left()) / r.width(), 0.0, 1.0));
    if (r.height() > 0)
        m_y = static_cast<float>(std::clamp((p.y() - r.top()) / r.height(), 0.0, 1.0));
    update();
    Q_EMIT MarkerDragged(p.x(), p.y());
}

} // namespace veneer
