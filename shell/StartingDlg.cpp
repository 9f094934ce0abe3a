#include "shell/StartingDlg.h"

#include "shell/ProgramIcon.h"
#include "shell/StringTable.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace shell {

namespace {
CStartingDlg* g_current = nullptr;
}

CStartingDlg::CStartingDlg()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_picture(MakePicture()) {
    // Picture, a 1-pixel frame round it, and the strip below.
    const int w = m_picture.width() + 2;
    const int h = m_picture.height() + 2 + kStripHeight;
    setFixedSize(w, h);
    m_pictureRect = QRect(1, 1, m_picture.width(), m_picture.height());
    m_status = new QLabel(this);
    m_status->setGeometry(1, h - 1 - kStripHeight, w - 2, kStripHeight);
    m_status->setIndent(4);
    QFont f = m_status->font();
    f.setPixelSize(11);
    m_status->setFont(f);
    m_status->setStyleSheet(QStringLiteral("color: #c8d0dc; background: #1b1f27;"));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    g_current = this;
}

CStartingDlg::~CStartingDlg() {
    if (g_current == this) g_current = nullptr;
}

bool CStartingDlg::SetProgressText(const QString& text) {
    m_status->setText(text);
    if (isVisible()) m_status->repaint();
    return true;
}

QString CStartingDlg::ProgressText() const {
    return m_status->text();
}

CStartingDlg* CStartingDlg::Current() {
    return g_current;
}

void CStartingDlg::SetCurrentProgressText(const QString& text) {
    if (g_current) g_current->SetProgressText(text);
}

void CStartingDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x3a, 0x42, 0x52));
    p.drawPixmap(m_pictureRect.topLeft(), m_picture); // unscaled
}

QPixmap CStartingDlg::MakePicture() {
    // The splash picture is drawn rather than shipped, so it is sharp at any
    // screen scale.
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    const QSize size(420, 200);
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(0x1e, 0x2a, 0x3f));
    g.setColorAt(1, QColor(0x0d, 0x10, 0x17));
    p.fillRect(QRect(QPoint(0, 0), size), g);
    // A few bars of a level meter as the emblem (also the window icon).
    PaintProgramMark(p, QRectF(40, 130 - 74, 104, 74));
    QFont title = p.font();
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0xf0, 0xf4, 0xf8));
    p.drawText(QRect(160, 60, 250, 50), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(LoadString(IDS_PRODUCT_NAME)));
    QFont sub = p.font();
    sub.setPixelSize(13);
    sub.setBold(false);
    p.setFont(sub);
    p.setPen(QColor(0x9a, 0xa7, 0xb8));
    p.drawText(QRect(162, 108, 250, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Player and sound tools"));
    return pixmap;
}

} // namespace shell
