#include "ui/adverts/WebBrowser.h"

#include "libs/ledgerline/Ledgerline.h"

#include <QResizeEvent>
#include <QTextBrowser>
#include <QVariant>

namespace ui::adverts {

namespace {

constexpr std::size_t kMaxPageBytes = 256 * 1024;

// A text browser that loads nothing but the page it is given: a remote
// page must not make the program read local files or reach other hosts.
class CPageView : public QTextBrowser {
public:
    explicit CPageView(QWidget* parent) : QTextBrowser(parent) {}
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

} // namespace

CWebBrowser::CWebBrowser(QWidget* parent) : veneer::CSCStatic(parent) {
    m_view = new CPageView(this);
    m_view->setObjectName(QStringLiteral("WebBrowserView"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setOpenLinks(false);
    m_view->setOpenExternalLinks(false);
    m_view->setGeometry(rect());
    connect(m_view, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { Q_EMIT LinkActivated(url.toString()); });
}

CWebBrowser::~CWebBrowser() {
    m_cancel.Cancel();
    if (m_fetch.joinable()) m_fetch.join();
}

void CWebBrowser::Navigate(const std::string& url) {
    if (m_fetch.joinable()) return;
    m_fetchDone = false;
    m_fetch = std::thread([this, url] {
        SFetchOptions options;
        options.url = url;
        options.userAgent = "BRONTELDOWNLOAD";
        options.maxBytes = kMaxPageBytes;
        m_result = FetchUrl(options, m_cancel);
        m_fetchDone = true;
    });
}

bool CWebBrowser::IsBusy() {
    if (!m_fetch.joinable()) return false;
    if (!m_fetchDone) return true;
    Finish();
    return false;
}

void CWebBrowser::Finish() {
    m_fetch.join();
    if (m_result.status == EFetchStatus::Ok) {
        m_view->setHtml(
            QString::fromUtf8(m_result.body.data(), static_cast<qsizetype>(m_result.body.size())));
        m_hasPage = true;
    } else if (m_result.status != EFetchStatus::Cancelled) {
        enLedgerline()->WriteLogMessageLevel(CLedgerline::Warning, "MainFrame",
                                             "Banner: cannot load the page: %s",
                                             m_result.error.c_str());
    }
    m_result = {};
}

void CWebBrowser::resizeEvent(QResizeEvent* event) {
    veneer::CSCStatic::resizeEvent(event);
    m_view->setGeometry(rect());
}

void CWebBrowser::paintEvent(QPaintEvent*) {
    // The view covers the control; nothing of the static's text shows.
}

} // namespace ui::adverts
