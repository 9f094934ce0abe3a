#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

#include "libs/veneer/Colors.h"
#include "libs/veneer/Controls.h"
#include "libs/veneer/ImageStrip.h"
#include "libs/veneer/StateBlock.h"

namespace veneer {

QColor ToQColor(lacquer::COLORREF c) {
    return QColor(lacquer::RedOf(c), lacquer::GreenOf(c), lacquer::BlueOf(c));
}

QColor SkinColor(int index) {
    if (lacquer::ISWQuery* q = SWQuery()) return ToQColor(q->QuerySkinColor(index));
    return ToQColor(lacquer::GetSkinColor(index));
}

QFont ToQFont(const lacquer::LOGFONTA& f) {
    QFont font(QString::fromUtf8(f.lfFaceName[0] ? f.lfFaceName : "Sans"));
    font.setPixelSize(std::max(1, std::abs(f.lfHeight != 0 ? f.lfHeight : 12)));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(f.lfWeight ? f.lfWeight : 400, 100, 900)));
    font.setItalic(f.lfItalic != 0);
    font.setUnderline(f.lfUnderline != 0);
    return font;
}

CSCButton::CSCButton(QWidget* parent) : QAbstractButton(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

CSCButton::~CSCButton() = default;

bool CSCButton::TakeResources(const _UNKNOWN_RESOURCES_* resources) {
    if (resources->size != sizeof(SKIN_IMAGE_RESOURCES)) return false;
    const auto* r = reinterpret_cast<const SKIN_IMAGE_RESOURCES*>(resources);
    m_image = ImageFromHandle(r->image);
    m_alpha = r->alpha ? ImageFromHandle(r->alpha) : nullptr;
    updateGeometry();
    return true;
}

int CSCButton::CurrentFrame() const {
    int frame = 0;
    if (!isEnabled())
        frame = 3;
    else if (isDown())
        frame = 2;
    else if (m_hover)
        frame = 1;
    if (isCheckable() && isChecked()) frame += 4;
    return frame;
}

bool CSCButton::GetSkinSize(SIZE* size) const {
    if (!size) return false;
    const QSize s = m_image ? m_image->FrameSize(isCheckable() ? 8 : 4) : QSize();
    size->cx = s.width();
    size->cy = s.height();
    return true;
}

QSize CSCButton::sizeHint() const {
    if (m_image) return m_image->FrameSize(isCheckable() ? 8 : 4);
    return QSize(24, 24);
}

bool CSCButton::SaveControlState(void** state) const {
    if (!state) return false;
    *state = NewState();
    StateSetChecked(*state, isChecked());
    return true;
}

bool CSCButton::LoadControlState(const void* state) {
    bool checked = false;
    if (!state || !StateGetChecked(state, &checked)) return false;
    if (isCheckable()) setChecked(checked);
    return true;
}

void CSCButton::enterEvent(QEnterEvent* event) {
    m_hover = true;
    ShowStatusText(true);
    update();
    QAbstractButton::enterEvent(event);
}

void CSCButton::leaveEvent(QEvent* event) {
    m_hover = false;
    ShowStatusText(false);
    update();
    QAbstractButton::leaveEvent(event);
}

void CSCButton::PaintPlain(QPainter& p) {
    // The plain look: a rounded face in the skin's colours with the title or
    // the first letters of the tooltip, so a skin without images is usable.
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor face = SkinColor(lacquer::kColorFace);
    if (isDown() || (isCheckable() && isChecked()))
        face = SkinColor(lacquer::kColorHighlight);
    else if (m_hover)
        face = face.lighter(125);
    if (!isEnabled()) face.setAlpha(110);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(SkinColor(lacquer::kColorBorder));
    p.setBrush(face);
    p.drawRoundedRect(r, 4, 4);
    QString label = text();
    if (label.isEmpty()) label = accessibleName();
    if (label.isEmpty()) label = QString::fromStdString(Tooltip());
    if (fontMetrics().horizontalAdvance(label) > width() - 4) label = label.left(2);
    p.setPen(isCheckable() && isChecked() ? SkinColor(lacquer::kColorHighlightText)
                                          : SkinColor(lacquer::kColorFaceText));
    QFont f = font();
    f.setPixelSize(std::max(8, std::min(12, height() / 2)));
    p.setFont(f);
    p.drawText(rect(), Qt::AlignCenter, label);
}

void CSCButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_image) {
        PaintPlain(p);
        return;
    }
    const int frames = isCheckable() ? 8 : 4;
    if (!m_alpha) {
        m_image->DrawFrame(p, rect(), CurrentFrame(), frames);
        return;
    }
    // The alpha strip's own alpha masks the image.
    const qreal dpr = DevicePixelRatioOf(p);
    QImage img = m_image->Frame(CurrentFrame(), frames, size(), dpr);
    const QImage mask = m_alpha->Frame(CurrentFrame(), frames, size(), dpr);
    if (!img.isNull() && !mask.isNull()) {
        QPainter mp(&img);
        mp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        mp.drawImage(QPoint(0, 0), mask);
    }
    p.drawImage(QPoint(0, 0), img);
}

CSCScaleButton::CSCScaleButton(QWidget* parent) : CSCButton(parent) {}

void CSCScaleButton::paintEvent(QPaintEvent* event) {
    CSCButton::paintEvent(event);
    if (!m_image || text().isEmpty()) return;
    QPainter p(this);
    p.setPen(SkinColor(lacquer::kColorFaceText));
    p.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace veneer
