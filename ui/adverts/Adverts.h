// CAdverts: the frame's advert texts and banner. The main frame owns one
// and calls it at its creation (LoadAdverts), after "Ready" and on its
// advert timer (ReloadAdvertLists), on its banner timer (BannerStep), and
// from the control rebuild (OnScrollTextCreated, CreateTvScreen).
//
// It owns the advert lists, which every ADVERT_STRING scrolling text shows,
// the downloader that refreshes Adverts.ini in the background, and the
// links' safety rule: only http and https links are ever opened, whether
// clicked in the scrolling text or in the banner.
//
// Window thread only (the downloader has its own thread).
#pragma once

#include "ui/adverts/AdvertSettings.h"
#include "ui/adverts/AdvertsFile.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace veneer {
class CSkinBase;
class CSCScrollStatic;
} // namespace veneer

namespace ui::adverts {

class CAdvertsDownloader;
class CTVScreenBanner;

class CAdverts : public QObject {
    Q_OBJECT
public:
    // The frame's ADVERT_STRING controls, looked up afresh at each call.
    using ControlFinder = std::function<std::vector<veneer::CSkinBase*>()>;

    CAdverts(ControlFinder findAdvertControls, SAdvertSettings settings,
             std::string advertsPath = AdvertsFilePath());
    ~CAdverts() override;

    // Frame creation: the lists from Adverts.ini, and the downloader starts.
    void LoadAdverts();
    // Reads Adverts.ini again (when it is there) and gives the lists to every
    // scrolling text that does not show them yet.
    void ReloadAdvertLists();
    void BannerStep();

    // A scrolling text was made by the skin: it shows the advert lines.
    void OnScrollTextCreated(veneer::CSCScrollStatic* text);
    // The skin's TVSCREEN: a hidden banner, owned by the caller.
    veneer::CSkinBase* CreateTvScreen(QWidget* parent);

    // Opens link in the user's browser when it is an http or https address;
    // false (nothing opened) otherwise.
    bool OpenLink(const QString& link);

    const QStringList& Texts() const { return m_texts; }
    const QStringList& Links() const { return m_links; }
    const CAdvertsDownloader* Downloader() const { return m_downloader.get(); }
    std::vector<CTVScreenBanner*> Banners() const;

    // Tests: where links go instead of the desktop's browser, and the
    // connection test of the banner and the downloader (set before
    // LoadAdverts).
    void SetLinkOpener(std::function<void(const QUrl&)> opener) { m_open = std::move(opener); }
    void SetConnectionTest(std::function<bool()> connected) { m_connected = std::move(connected); }

private:
    void Show(veneer::CSCScrollStatic* text);
    void OnLinkActivated(const QString& link);

    ControlFinder m_find;
    SAdvertSettings m_settings;
    std::string m_path;
    SAdvertLists m_lists;
    // When and how large Adverts.ini was at the last reading.
    std::optional<std::pair<std::filesystem::file_time_type, std::uintmax_t>> m_stamp;
    QStringList m_texts;
    QStringList m_links;
    // Bumped whenever the lists change; a control shows the lists of the
    // generation it was given, so unchanged lists are not handed over again
    // (a hand-over starts the scrolling again at the first line).
    int m_generation = 1;
    std::unique_ptr<CAdvertsDownloader> m_downloader;
    std::vector<QPointer<CTVScreenBanner>> m_banners;
    std::function<void(const QUrl&)> m_open;
    std::function<bool()> m_connected;
};

} // namespace ui::adverts
