#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "libs/veneer/Colors.h"
#include "libs/veneer/Controls.h"
#include "libs/veneer/StateBlock.h"

namespace veneer {

CSCStatic::CSCStatic(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
}

bool CSCStatic::TakeResources(const _UNKNOWN_RESOURCES_* resources) {
    if (resources->size != sizeof(SKIN_TEXT_RESOURCES)) return false;
    const auto* r = reinterpret_cast<const SKIN_TEXT_RESOURCES*>(resources);
    m_color = r->color;
    m_hasColor = true;
    m_font = r->font;
    return true;
}

void CSCStatic::SetText(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    update();
}

void CSCStatic::SetAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

QColor CSCStatic::TextColor() const {
    return m_hasColor ? ToQColor(m_color) : SkinColor(lacquer::kColorWindowText);
}

QFont CSCStatic::SkinFont() const {
    return m_font.lfFaceName[0] ? ToQFont(m_font) : font();
}

bool CSCStatic::SaveControlState(void** state) const {
    if (!state) return false;
    *state = NewState();
    StateSetText(*state, m_text);
    return true;
}

bool CSCStatic::LoadControlState(const void* state) {
    QString text;
    if (!state || !StateGetText(state, &text)) return false;
    SetText(text);
    return true;
}

void CSCStatic::enterEvent(QEnterEvent* event) {
    ShowStatusText(true);
    QWidget::enterEvent(event);
}

void CSCStatic::leaveEvent(QEvent* event) {
    ShowStatusText(false);
    QWidget::leaveEvent(event);
}

void CSCStatic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(SkinFont());
    p.setPen(TextColor());
    const QFontMetrics fm(p.font());
    p.drawText(rect(), static_cast<int>(m_alignment),
               fm.elidedText(m_text, Qt::ElideRight, width()));
}

// ---------------------------------------------------------------- scrolling

CSCScrollStatic::CSCScrollStatic(QWidget* parent) : CSCStatic(parent) {}

CSCScrollStatic::~CSCScrollStatic() = default;

bool CSCScrollStatic::TakeResources(const _UNKNOWN_RESOURCES_* resources) {
    if (resources->size == sizeof(SKIN_TEXT_RESOURCES)) return CSCStatic::TakeResources(resources);
    if (resources->size != sizeof(SKIN_SCROLL_TEXT_RESOURCES)) return false;
    const auto* r = reinterpret_cast<const SKIN_SCROLL_TEXT_RESOURCES*>(resources);
    m_color = r->color;
    m_hasColor = true;
    m_font = r->font;
    m_scrollOffset = std::max(0, r->scrollOffset);
    m_scrollSpeed = std::max(1, r->scrollSpeed);
    return true;
}

void CSCScrollStatic::SetReferences(const QStringList* texts, const QStringList* links) {
    m_texts = texts ? *texts : QStringList();
    m_links = links ? *links : QStringList();
    m_index = 0;
    m_offset = 0;
    SetText(m_texts.isEmpty() ? QString() : m_texts.front());
}

void CSCScrollStatic::Tick() {
    if (m_texts.isEmpty()) return;
    const QFontMetrics fm(SkinFont());
    const int textWidth = fm.horizontalAdvance(m_texts.value(m_index));
    m_offset += m_scrollSpeed;
    // The text enters from the right edge and leaves at the left; then the
    // next one starts.
    if (m_offset > width() + textWidth + m_scrollOffset) {
        m_offset = 0;
        m_index = (m_index + 1) % static_cast<int>(m_texts.size());
        m_text = m_texts.value(m_index);
    }
    update();
}

void CSCScrollStatic::Start(int intervalMs) {
    if (!m_timer) {
        m_timer = new QTimer(this);
        connect(m_timer, &QTimer::timeout, this, [this] { OnTimer(kScrollTimer); });
    }
    m_timer->start(intervalMs);
}

void CSCScrollStatic::OnTimer(int timerId) {
    if (timerId == kScrollTimer) Tick();
}

void CSCScrollStatic::Stop() {
    if (m_timer) m_timer->stop();
}

void CSCScrollStatic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(SkinFont());
    p.setPen(TextColor());
    if (m_texts.isEmpty()) {
        p.drawText(rect(), static_cast<int>(m_alignment), m_text);
        return;
    }
    const int x = width() - m_offset;
    p.drawText(QRect(x, 0, 100000, height()), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

void CSCScrollStatic::mouseReleaseEvent(QMouseEvent* event) {
    const QString link = m_links.value(m_index);
    if (event->button() == Qt::LeftButton && !link.isEmpty()) Q_EMIT LinkActivated(link);
    CSCStatic::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------- hyperlink

CSCHyperLinkStatic::CSCHyperLinkStatic(QWidget* parent) : CSCStatic(parent) {
    setCursor(Qt::PointingHandCursor);
}

void CSCHyperLinkStatic::SetHyperlink(const QString& text, const QString& link) {
    m_link = link;
    SetText(text);
}

void CSCHyperLinkStatic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QFont f = SkinFont();
    f.setUnderline(true);
    p.setFont(f);
    p.setPen(m_hasColor ? ToQColor(m_color) : SkinColor(lacquer::kColorLink));
    p.drawText(rect(), static_cast<int>(m_alignment), m_text);
}

void CSCHyperLinkStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !m_link.isEmpty()) Q_EMIT LinkActivated(m_link);
    CSCStatic::mouseReleaseEvent(event);
}

} // namespace veneer
