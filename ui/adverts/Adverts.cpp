#include "ui/adverts/Adverts.h"

#include "libs/ledgerline/Ledgerline.h"
#include "libs/veneer/Controls.h"
#include "ui/adverts/AdvertsDownloader.h"
#include "ui/adverts/HttpFetch.h"
#include "ui/adverts/TVScreenBanner.h"

#include <QDesktopServices>
#include <algorithm>
#include <filesystem>

namespace ui::adverts {

namespace {

// The scrolling text moves by its skin's speed at every tick.
constexpr int kScrollTickMs = 30;
constexpr const char* kGenerationProperty = "sonvaraAdvertGeneration";

QStringList ToQt(const std::vector<std::string>& list) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(list.size()));
    for (const std::string& s : list)
        out.push_back(QString::fromStdString(s));
    return out;
}

} // namespace

CAdverts::CAdverts(ControlFinder findAdvertControls, SAdvertSettings settings,
                   std::string advertsPath)
    : m_find(std::move(findAdvertControls)), m_settings(std::move(settings)),
      m_path(std::move(advertsPath)),
      m_open([](const QUrl& url) { QDesktopServices::openUrl(url); }) {}

CAdverts::~CAdverts() = default;

void CAdverts::LoadAdverts() {
    ReloadAdvertLists();
    if (m_downloader || m_settings.url.empty()) return;
    SDownloadJob job;
    job.url = m_settings.url;
    job.target = m_path;
    job.interval = m_settings.interval;
    job.connected = m_connected;
    m_downloader = std::make_unique<CAdvertsDownloader>(std::move(job));
}

void CAdverts::ReloadAdvertLists() {
    // The file is read again only when it changed: a large one is parsed
    // once per download, not every fifteen seconds.
    std::error_code ec;
    const auto stamp = std::filesystem::last_write_time(m_path, ec);
    const auto size = ec ? 0 : std::filesystem::file_size(m_path, ec);
    const bool changed = ec || !m_stamp || *m_stamp != std::make_pair(stamp, size);
    SAdvertLists lists;
    // No file (or one that cannot be read): the controls keep what they have.
    const bool loaded = changed && LoadAdvertLists(m_path, lists);
    if (loaded) m_stamp = std::make_pair(stamp, size);
    if (loaded && lists != m_lists) {
        m_lists = std::move(lists);
        m_texts = ToQt(m_lists.texts);
        m_links = ToQt(m_lists.links);
        ++m_generation;
    }
    if (!m_find) return;
    for (veneer::CSkinBase* control : m_find())
        if (auto* text = dynamic_cast<veneer::CSCScrollStatic*>(control)) {
            if (text->property(kGenerationProperty).toInt() != m_generation) Show(text);
        }
}

void CAdverts::OnScrollTextCreated(veneer::CSCScrollStatic* text) {
    if (text) Show(text);
}

void CAdverts::Show(veneer::CSCScrollStatic* text) {
    text->SetReferences(&m_texts, &m_links);
    text->setProperty(kGenerationProperty, m_generation);
    connect(text, &veneer::CSCScrollStatic::LinkActivated, this, &CAdverts::OnLinkActivated,
            Qt::UniqueConnection);
    if (m_texts.isEmpty())
        text->Stop();
    else
        text->Start(kScrollTickMs);
}

veneer::CSkinBase* CAdverts::CreateTvScreen(QWidget* parent) {
    auto* banner = new CTVScreenBanner(parent);
    banner->SetAddress(m_settings.bannerUrl);
    if (m_connected) banner->SetConnectionTest(m_connected);
    connect(banner, &CWebBrowser::LinkActivated, this, &CAdverts::OnLinkActivated);
    m_banners.emplace_back(banner);
    return banner;
}

void CAdverts::BannerStep() {
    // Banners of an earlier skin are gone with their controls.
    m_banners.erase(std::remove_if(m_banners.begin(), m_banners.end(),
                                   [](const QPointer<CTVScreenBanner>& b) { return b.isNull(); }),
                    m_banners.end());
    for (const QPointer<CTVScreenBanner>& banner : m_banners)
        banner->Step();
}

std::vector<CTVScreenBanner*> CAdverts::Banners() const {
    std::vector<CTVScreenBanner*> out;
    for (const QPointer<CTVScreenBanner>& banner : m_banners)
        if (banner) out.push_back(banner.data());
    return out;
}

bool CAdverts::OpenLink(const QString& link) {
    // The advert file and the banner come over the network: a "file:" or
    // "javascript:" link, or a program's own scheme, is never handed on.
    if (!IsWebAddress(link.toStdString())) {
        enLedgerline()->WriteLogMessageLevel(CLedgerline::Warning, "MainFrame",
                                             "Adverts: not opening the link %s",
                                             link.toStdString().c_str());
        return false;
    }
    if (m_open) m_open(QUrl(link));
    return true;
}

void CAdverts::OnLinkActivated(const QString& link) {
    OpenLink(link);
}

} // namespace ui::adverts
