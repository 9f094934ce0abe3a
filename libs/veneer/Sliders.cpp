#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "libs/veneer/Colors.h"
#include "libs/veneer/Controls.h"
#include "libs/veneer/ImageStrip.h"
#include "libs/veneer/StateBlock.h"

namespace veneer {

namespace {
constexpr int kSliderFrames = 4; // track, fill, thumb, thumb pressed
constexpr int kRoundFrames = 2;  // body, pointer
} // namespace

CSCSlider::CSCSlider(Qt::Orientation orientation, QWidget* parent) : QAbstractSlider(parent) {
    setOrientation(orientation);
    setRange(0, 100);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    m_styleEx = kStyleSliderDefault;
    connect(this, &QAbstractSlider::actionTriggered, this, &CSCSlider::OnAction);
}

CSCSlider::~CSCSlider() = default;

bool CSCSlider::TakeResources(const _UNKNOWN_RESOURCES_* resources) {
    if (resources->size != sizeof(SKIN_SLIDER_RESOURCES)) return false;
    const auto* r = reinterpret_cast<const SKIN_SLIDER_RESOURCES*>(resources);
    m_image = ImageFromHandle(r->image);
    m_drawAlign = r->drawAlign;
    m_beginOffset = std::max(0, r->beginTrackOffset);
    m_endOffset = std::max(0, r->endTrackOffset);
    return true;
}

void CSCSlider::SetRange(int minimum, int maximum, bool redraw) {
    const QSignalBlocker block(this);
    setRange(minimum, maximum);
    if (redraw) update();
}

void CSCSlider::SetPos(int position, bool redraw) {
    // While the user holds the thumb the player's timer must not pull it
    // away from under the pointer.
    if (m_dragging) return;
    const QSignalBlocker block(this);
    const int before = value();
    setValue(position);
    // The player's timer sets the position ten times a second; a slider
    // whose thumb did not move has nothing new to show.
    if (redraw && value() != before) update();
}

bool CSCSlider::SaveControlState(void** state) const {
    if (!state) return false;
    *state = NewState();
    StateSetRange(*state, minimum(), maximum(), value());
    return true;
}

bool CSCSlider::LoadControlState(const void* state) {
    int lo = 0, hi = 0, v = 0;
    if (!state || !StateGetRange(state, &lo, &hi, &v)) return false;
    const QSignalBlocker block(this);
    setRange(lo, hi);
    setValue(v);
    update();
    return true;
}

bool CSCSlider::GetSkinSize(SIZE* size) const {
    if (!size) return false;
    const QSize s = m_image ? m_image->FrameSize(kSliderFrames) : QSize();
    size->cx = s.width();
    size->cy = s.height();
    return true;
}

int CSCSlider::ThumbLength() const {
    const bool horz = orientation() == Qt::Horizontal;
    const int thickness = horz ? height() : width();
    if (!m_image) return std::max(8, std::min(14, thickness));
    const QSize fs = m_image->FrameSize(kSliderFrames);
    if (ScalesImage() || (horz ? fs.height() : fs.width()) > thickness) {
        // Keep the thumb's proportions at the control's thickness.
        return horz ? fs.width() * thickness / std::max(1, fs.height())
                    : fs.height() * thickness / std::max(1, fs.width());
    }
    return horz ? fs.width() : fs.height();
}

QRect CSCSlider::ThumbRect() const {
    const bool horz = orientation() == Qt::Horizontal;
    const int len = ThumbLength();
    const int start = PixelOf(value());
    int thickness = horz ? height() : width();
    if (m_image && !ScalesImage()) {
        const QSize fs = m_image->FrameSize(kSliderFrames);
        thickness = std::min(thickness, horz ? fs.height() : fs.width());
    }
    const int room = (horz ? height() : width()) - thickness;
    const int cross = m_drawAlign == kAlignLeftTop       ? 0
                      : m_drawAlign == kAlignRightBottom ? room
                                                         : room / 2;
    return horz ? QRect(start, cross, len, thickness) : QRect(cross, start, thickness, len);
}

int CSCSlider::PixelOf(int v) const {
    const bool horz = orientation() == Qt::Horizontal;
    const int travel = (horz ? width() : height()) - m_beginOffset - m_endOffset - ThumbLength();
    const int span = maximum() - minimum();
    if (travel <= 0 || span <= 0) return m_beginOffset;
    return m_beginOffset +
           static_cast<int>(std::lround(double(v - minimum()) * travel / double(span)));
}

int CSCSlider::ValueAt(int pixel) const {
    const bool horz = orientation() == Qt::Horizontal;
    const int travel = (horz ? width() : height()) - m_beginOffset - m_endOffset - ThumbLength();
    const int span = maximum() - minimum();
    if (travel <= 0 || span <= 0) return minimum();
    const double t = std::clamp(double(pixel - m_beginOffset) / travel, 0.0, 1.0);
    return minimum() + static_cast<int>(std::lround(t * span));
}

void CSCSlider::UserMove(int v, int code, bool fromGroup) {
    v = std::clamp(v, minimum(), maximum());
    const int delta = v - value();
    {
        const QSignalBlocker block(this);
        setValue(v);
    }
    update();
    const bool dragCode = code == kSbThumbTrack;
    if (!dragCode || (m_styleEx & kStyleNotifyDrag) || !(m_styleEx & kStyleNotifyRelease))
        Q_EMIT Notify(code, value());
    // Ctrl held: the other sliders of the group follow by the same amount.
    if (!fromGroup && m_group >= 0 && delta != 0 &&
        (m_groupDrag || (QGuiApplication::keyboardModifiers() & Qt::ControlModifier))) {
        for (CSkinBase* member : GroupMembers(m_group)) {
            auto* other = dynamic_cast<CSCSlider*>(member);
            if (other && other != this) other->UserMove(other->value() + delta, code, true);
        }
    }
}

void CSCSlider::OnAction(int action) {
    // Keys and the wheel; QAbstractSlider has already moved sliderPosition.
    int code = -1;
    switch (action) {
    case SliderSingleStepAdd:
        code = kSbLineDown;
        break;
    case SliderSingleStepSub:
        code = kSbLineUp;
        break;
    case SliderPageStepAdd:
        code = kSbPageDown;
        break;
    case SliderPageStepSub:
        code = kSbPageUp;
        break;
    case SliderToMinimum:
        code = kSbTop;
        break;
    case SliderToMaximum:
        code = kSbBottom;
        break;
    default:
        return;
    }
    const int target = sliderPosition();
    UserMove(target, code);
    Q_EMIT Notify(kSbEndScroll, value());
}

void CSCSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || maximum() <= minimum()) {
        event->ignore();
        return;
    }
    m_groupDrag = (event->modifiers() & Qt::ControlModifier) != 0;
    const bool horz = orientation() == Qt::Horizontal;
    const QPoint pos = event->position().toPoint();
    const int along = horz ? pos.x() : pos.y();
    const QRect thumb = ThumbRect();
    if (thumb.contains(pos)) {
        m_dragging = true;
        m_dragGrab = along - (horz ? thumb.left() : thumb.top());
    } else if (m_styleEx & kStyleJumpClick) {
        m_dragging = true;
        m_dragGrab = ThumbLength() / 2;
        UserMove(ValueAt(along - m_dragGrab), kSbThumbTrack);
    } else {
        const bool before = along < (horz ? thumb.left() : thumb.top());
        const int step = std::max(1, pageStep());
        UserMove(value() + (before ? -step : step), before ? kSbPageUp : kSbPageDown);
        Q_EMIT Notify(kSbEndScroll, value());
    }
    update();
}

void CSCSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    m_groupDrag = (event->modifiers() & Qt::ControlModifier) != 0;
    const QPoint pos = event->position().toPoint();
    const int along = orientation() == Qt::Horizontal ? pos.x() : pos.y();
    const int v = ValueAt(along - m_dragGrab);
    if (v != value()) UserMove(v, kSbThumbTrack);
}

void CSCSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging || event->button() != Qt::LeftButton) return;
    m_dragging = false;
    m_groupDrag = false;
    Q_EMIT Notify(kSbThumbPosition, value());
    Q_EMIT Notify(kSbEndScroll, value());
    update();
}

void CSCSlider::enterEvent(QEnterEvent* event) {
    ShowStatusText(true);
    QAbstractSlider::enterEvent(event);
}

void CSCSlider::leaveEvent(QEvent* event) {
    ShowStatusText(false);
    QAbstractSlider::leaveEvent(event);
}

void CSCSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool horz = orientation() == Qt::Horizontal;
    const QRect thumb = ThumbRect();
    const int len = ThumbLength();
    // The track runs under the thumb's centre line from end to end.
    QRect track = horz ? QRect(m_beginOffset, thumb.top(), width() - m_beginOffset - m_endOffset,
                               thumb.height())
                       : QRect(thumb.left(), m_beginOffset, thumb.width(),
                               height() - m_beginOffset - m_endOffset);
    const int centreOfThumb = (horz ? thumb.left() : thumb.top()) + len / 2;
    int fillFrom = horz ? track.left() : track.top();
    if (m_styleEx & kStyleCentred) fillFrom = (horz ? track.center().x() : track.center().y());
    const int a = std::min(fillFrom, centreOfThumb);
    const int b = std::max(fillFrom, centreOfThumb);
    const QRect fill = horz ? QRect(a, track.top(), b - a, track.height())
                            : QRect(track.left(), a, track.width(), b - a);

    if (!m_image) {
        // Plain look: a thin groove, the fill in the highlight colour, a
        // round thumb.
        const int groove = 4;
        const QRectF g =
            horz ? QRectF(track.left(), track.center().y() - groove / 2.0, track.width(), groove)
                 : QRectF(track.center().x() - groove / 2.0, track.top(), groove, track.height());
        p.setPen(Qt::NoPen);
        p.setBrush(SkinColor(lacquer::kColorBorder));
        p.drawRoundedRect(g, 2, 2);
        const QRectF f = horz ? QRectF(fill.left(), g.top(), fill.width(), groove)
                              : QRectF(g.left(), fill.top(), groove, fill.height());
        p.setBrush(SkinColor(lacquer::kColorHighlight));
        p.drawRoundedRect(f, 2, 2);
        const int d = std::min(thumb.width(), thumb.height());
        p.setBrush(m_dragging ? SkinColor(lacquer::kColorHighlight).lighter(120)
                              : SkinColor(lacquer::kColorFaceText));
        p.drawEllipse(QRectF(thumb.center().x() - d / 2.0 + 0.5, thumb.center().y() - d / 2.0 + 0.5,
                             d - 1, d - 1));
        return;
    }
    m_image->DrawThreeSlice(p, track, 0, kSliderFrames, orientation());
    if (!fill.isEmpty()) {
        p.save();
        p.setClipRect(fill);
        m_image->DrawThreeSlice(p, track, 1, kSliderFrames, orientation());
        p.restore();
    }
    m_image->DrawFrame(p, thumb, m_dragging ? 3 : 2, kSliderFrames);
}

CSCScaleSlider::CSCScaleSlider(Qt::Orientation orientation, QWidget* parent)
    : CSCSlider(orientation, parent) {}

// ---------------------------------------------------------------- round

CSCSliderRound::CSCSliderRound(QWidget* parent) : CSCSlider(Qt::Vertical, parent) {}

bool CSCSliderRound::TakeResources(const _UNKNOWN_RESOURCES_* resources) {
    if (resources->size != sizeof(SKIN_ROUND_SLIDER_RESOURCES)) return false;
    const auto* r = reinterpret_cast<const SKIN_ROUND_SLIDER_RESOURCES*>(resources);
    m_image = ImageFromHandle(r->image);
    return true;
}

void CSCSliderRound::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragging = true;
    m_pressPoint = event->position().toPoint();
    m_pressValue = value();
}

void CSCSliderRound::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    const QPoint d = event->position().toPoint() - m_pressPoint;
    // 150 pixels up or right turn the knob through its whole range.
    const double turn = double(d.x() - d.y()) / 150.0;
    const int v = m_pressValue + static_cast<int>(std::lround(turn * (maximum() - minimum())));
    if (std::clamp(v, minimum(), maximum()) != value()) UserMove(v, kSbThumbTrack);
}

void CSCSliderRound::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height());
    const QRect box((width() - side) / 2, (height() - side) / 2, side, side);
    const int span = maximum() - minimum();
    const double t = span > 0 ? double(value() - minimum()) / span : 0.0;
    const double angle = -135.0 + 270.0 * t;
    if (m_image) {
        m_image->DrawFrame(p, box, 0, kRoundFrames);
        p.translate(box.center() + QPointF(0.5, 0.5));
        p.rotate(angle);
        p.translate(-(box.center() + QPointF(0.5, 0.5)));
        m_image->DrawFrame(p, box, 1, kRoundFrames);
        return;
    }
    p.setPen(SkinColor(lacquer::kColorBorder));
    p.setBrush(SkinColor(lacquer::kColorFace));
    p.drawEllipse(QRectF(box).adjusted(1, 1, -1, -1));
    p.translate(QRectF(box).center());
    p.rotate(angle);
    p.setPen(QPen(SkinColor(lacquer::kColorHighlight), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, -side * 0.15), QPointF(0, -side * 0.38));
}

} // namespace veneer
