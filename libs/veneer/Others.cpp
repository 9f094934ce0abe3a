#include <QPainter>

#include "libs/veneer/Colors.h"
#include "libs/veneer/Controls.h"
#include "libs/veneer/ImageStrip.h"
#include "libs/veneer/SkinStyle.h"

namespace veneer {

void ApplySkinPalette(QWidget* widget) {
    if (!widget) return;
    QPalette pal = widget->palette();
    const auto set = [&pal](QPalette::ColorRole role, int index) {
        pal.setColor(QPalette::Active, role, SkinColor(index));
        pal.setColor(QPalette::Inactive, role, SkinColor(index));
        QColor disabled = SkinColor(index);
        disabled.setAlpha(120);
        pal.setColor(QPalette::Disabled, role, disabled);
    };
    set(QPalette::Window, lacquer::kColorWindow);
    set(QPalette::WindowText, lacquer::kColorWindowText);
    set(QPalette::Button, lacquer::kColorFace);
    set(QPalette::ButtonText, lacquer::kColorFaceText);
    set(QPalette::Base, lacquer::kColorEdit);
    set(QPalette::AlternateBase, lacquer::kColorFace);
    set(QPalette::Text, lacquer::kColorEditText);
    set(QPalette::Highlight, lacquer::kColorHighlight);
    set(QPalette::HighlightedText, lacquer::kColorHighlightText);
    set(QPalette::Link, lacquer::kColorLink);
    set(QPalette::Mid, lacquer::kColorBorder);
    set(QPalette::ToolTipBase, lacquer::kColorFace);
    set(QPalette::ToolTipText, lacquer::kColorFaceText);
    widget->setPalette(pal);
    // Check boxes and radio buttons are drawn from these colours only by the
    // skin style.
    UseSkinStyle();
}

namespace {
// Controls that only take the skin's colours accept any record (their look
// needs none) and apply the palette.
bool TakePalette(QWidget* widget, const _UNKNOWN_RESOURCES_* resources) {
    (void)resources;
    ApplySkinPalette(widget);
    return true;
}
} // namespace

CSCComboBox::CSCComboBox(QWidget* parent) : QComboBox(parent) {}
bool CSCComboBox::TakeResources(const _UNKNOWN_RESOURCES_* r) {
    return TakePalette(this, r);
}

CSCEditBox::CSCEditBox(QWidget* parent) : QLineEdit(parent) {}
bool CSCEditBox::TakeResources(const _UNKNOWN_RESOURCES_* r) {
    return TakePalette(this, r);
}

CSCScaleDialog::CSCScaleDialog(int templateId, QWidget* parent)
    : QDialog(parent), m_templateId(templateId) {}
bool CSCScaleDialog::TakeResources(const _UNKNOWN_RESOURCES_* r) {
    return TakePalette(this, r);
}

// ---------------------------------------------------------------- panel

CSCScalePanel::CSCScalePanel(QWidget* parent) : QWidget(parent) {}

CSCScalePanel::~CSCScalePanel() = default;

bool CSCScalePanel::TakeResources(const _UNKNOWN_RESOURCES_* resources) {
    if (resources->size != sizeof(SKIN_PANEL_RESOURCES)) return false;
    m_record = *reinterpret_cast<const SKIN_PANEL_RESOURCES*>(resources);
    m_image = ImageFromHandle(m_record.image);
    return true;
}

QSize CSCScalePanel::GetInitialSize() const {
    if (m_custom && m_image) return m_image->Size();
    return m_plainSize;
}

bool CSCScalePanel::GetSkinSize(SIZE* size) const {
    if (!size) return false;
    const QSize s = GetInitialSize();
    size->cx = s.width();
    size->cy = s.height();
    return true;
}

void CSCScalePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_custom && m_image) {
        m_image->DrawNineSlice(p, rect(), 0, 1, m_record.leftWidth, m_record.rightWidth,
                               m_record.topHeight, m_record.bottomHeight,
                               m_record.resizeMethod == kResizeTile);
        return;
    }
    // Plain look: the skin's window colour with a hairline border.
    p.fillRect(rect(), SkinColor(lacquer::kColorWindow));
    p.setPen(SkinColor(lacquer::kColorBorder));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

// ---------------------------------------------------------------- data source

CDataSource::CDataSource() = default;
CDataSource::~CDataSource() = default;

bool CDataSource::StartUp(const QString& path) {
    m_strip = CImageStrip::Load(path);
    return m_strip != nullptr;
}

int CDataSource::FrameCount() const {
    if (!m_strip || m_strip->Size().height() <= 0) return 0;
    return m_strip->Size().width() / m_strip->Size().height();
}

QImage* CDataSource::GetFrameBitmap(std::uint32_t frame) {
    const int frames = FrameCount();
    if (frames <= 0 || frame >= static_cast<std::uint32_t>(frames)) return nullptr;
    const int side = m_strip->Size().height();
    QImage image = m_strip->Frame(static_cast<int>(frame), frames, QSize(side, side), 1.0);
    if (image.isNull()) return nullptr;
    return new QImage(image);
}

void CDataSource::CloseHandle(QImage* bitmap) {
    delete bitmap;
}

void CDataSource::CleanUp() {
    m_strip.reset();
}

} // namespace veneer
