#include "audio/dialogs/PlugInSoundFormat.h"

#include "libs/veneer/DialogUnits.h"
#include <algorithm>

extern "C" int KelCoderShowSettings(const char* coderName, QWidget* parent, int show);

namespace audio {

namespace {
KelCoderShowSettingsFn g_coderSettings = &KelCoderShowSettings;
} // namespace

void CPlugInSoundFormat::SetCoderSettingsFunction(KelCoderShowSettingsFn function) {
    g_coderSettings = function ? function : &KelCoderShowSettings;
}

CPlugInSoundFormat::CPlugInSoundFormat(QWidget* parent)
    : veneer::CSCScaleDialog(kTemplateId, parent) {
    setWindowTitle(QStringLiteral("Sound Format"));
    veneer::ApplySkinPalette(this);
    setAutoFillBackground(true);

    // The template: the placeholder at 7,6 (71 x 32) and Close at 83,7
    // (50 x 14) in a dialog of 140 x 45 dialog units.
    const QRect client = veneer::MapDialogRect(this, QRect(0, 0, 140, 45));
    resize(client.size());
    m_placeholder = new veneer::CSCStatic(this);
    m_placeholder->setProperty("controlId", kPlaceholderId);
    m_placeholder->setGeometry(veneer::MapDialogRect(this, QRect(7, 6, 71, 32)));
    m_close = new veneer::CSCScaleButton(this);
    m_close->setProperty("controlId", kCloseId);
    m_close->setText(QStringLiteral("Close"));
    m_close->setGeometry(veneer::MapDialogRect(this, QRect(83, 7, 50, 14)));
    connect(m_close, &QAbstractButton::clicked, this, [this] { done(kCloseId); });

    OnInitDialog();
}

CPlugInSoundFormat::~CPlugInSoundFormat() {
    const QByteArray name = m_coderName.toUtf8();
    g_coderSettings(name.constData(), m_placeholder, 0);
}

QWidget* CPlugInSoundFormat::CoderWindow() const {
    return m_placeholder->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

void CPlugInSoundFormat::OnInitDialog() {
    const QRect p = m_placeholder->geometry();
    const QByteArray name = m_coderName.toUtf8();
    g_coderSettings(name.constData(), m_placeholder, 1);

    QWidget* coder = CoderWindow();
    if (!coder) return; // nothing to size around: the template stays
    const QSize c = coder->size();
    const int dx = (p.left() + c.width()) - (p.left() + p.width());
    const int dy = std::max(0, (p.top() + c.height()) - (p.top() + p.height()));

    resize(width() + dx, height() + dy);
    m_placeholder->setGeometry(p.left(), p.top(), c.width(), c.height());
    coder->setGeometry(0, 0, c.width(), c.height());
    m_close->move(m_close->x() + dx, m_close->y());
    setFixedSize(size());
}

} // namespace audio
