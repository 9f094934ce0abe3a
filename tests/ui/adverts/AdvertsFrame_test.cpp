// The real frame with its adverts, in both shipped skins: the advert lines
// reach the skin's scrolling text after "Ready", the download (pointed at a
// loopback server) brings new lines, a click opens only web links, the
// banner shows and hides in turn, and with the settings empty nothing
// connects. Leaves screenshots of the frame with adverts showing.
#include "LoopbackHttpServer.h"
#include "QtTestApp.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "libs/veneer/Controls.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "shell/KelFrameApp.h"
#include "shell/LaterSubsystems.h"
#include "shell/MainFrame.h"
#include "support/TempDir.h"
#include "ui/ControlTable.h"
#include "ui/SkinList.h"
#include "ui/adverts/Adverts.h"
#include "ui/adverts/AdvertsDownloader.h"
#include "ui/adverts/ConnectionState.h"
#include "ui/adverts/TVScreenBanner.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTextBrowser>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ui::adverts::CTVScreenBanner;

constexpr const char* kBannerPage =
    "<html><body style='background:#f4c542;margin:0'>"
    "<p style='font:bold 11px DejaVu Sans;color:#202020;margin:3px'>"
    "<a href='https://example.org/tv'>Live on TV tonight</a></p>"
    "<script>document.write('scripts never run')</script></body></html>";

template <class Done> bool WaitFor(Done done, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

void Click(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

class AdvertsFrame : public ::testing::Test {
protected:
    void SetUp() override {
        shelltest::EnsureApplication();
        if (!fs::exists(SONVARA_SKINS_DIR)) GTEST_SKIP() << "no skins in the tree";
        fs::create_directories(program);
        fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
        platform::SetProgramDirectory(program);
        platform::SetSettingsDirectory(program);
        trestle::SetMessageBoxHook([this](const trestle::MessageBoxRequest& r) {
            boxes.push_back(r.text);
            return trestle::IDOK;
        });
        fs::create_directories(SCREENSHOT_DIR);
    }
    void TearDown() override {
        trestle::SetMessageBoxHook(nullptr);
        lacquer::UnloadSkin();
        platform::SetProgramDirectory("");
        platform::SetSettingsDirectory("");
    }
    void Set(const char* section, const char* key, const std::string& value) {
        platform::WritePrivateProfileString(section, key, value.c_str(),
                                            (program + "config.ini").c_str());
    }
    shell::CMainFrame& Start() {
        static const char* argv[] = {"sonvara"};
        app = std::make_unique<shell::CKelFrameApp>(1, argv, later);
        EXPECT_TRUE(app->InitInstance());
        shell::CMainFrame* frame = app->Frame();
        frame->showNormal();
        frame->resize(std::max(frame->minimumWidth(), 960), std::max(frame->minimumHeight(), 600));
        QCoreApplication::processEvents();
        return *frame;
    }
    void Close() {
        app->Frame()->close();
        app->ExitInstance(0);
        app.reset();
    }
    veneer::CSCScrollStatic* AdvertText(shell::CMainFrame& frame) {
        auto controls = frame.Controls().FindControls(ui::kIdAdvertString);
        return controls.empty() ? nullptr : dynamic_cast<veneer::CSCScrollStatic*>(controls[0]);
    }

    testsupport::TempDir dir;
    std::string program = dir.file("app/");
    shell::CLaterSubsystems later;
    std::unique_ptr<shell::CKelFrameApp> app;
    std::vector<std::string> boxes;
};

TEST_F(AdvertsFrame, AdvertsScrollLinksOpenSafelyAndTheBannerAlternates) {
    if (!ui::adverts::IsConnected()) GTEST_SKIP() << "no network interface is up";
    testsupport::CLoopbackHttpServer adverts;
    testsupport::CLoopbackHttpServer banner;
    adverts.Reply("[local]\r\nText=Plant a file link\r\nLink=file:///etc/passwd\r\n"
                  "[web]\r\nText=New loops every week at the Sonvara shop\r\n"
                  "Link=https://example.org/shop\r\n");
    banner.Reply(kBannerPage);
    Set("ADVERTS", "Url", adverts.Url());
    Set("ADVERTS", "BannerUrl", banner.Url("/banner.html"));
    Set("ADVERTS", "IntervalMs", "1000");
    ASSERT_TRUE(platform::WriteFileAtomically(program + "Adverts.ini",
                                              "[old]\r\nText=Yesterday's advert\r\n"));

    const auto skins = ui::FindSkinFiles(program + "Skins");
    ASSERT_GE(skins.size(), 2u);
    for (std::size_t i = 0; i < skins.size(); ++i) {
        Set("CURRENTSKIN", "Name", skins[i].name);
        shell::CMainFrame& frame = Start();
        ui::adverts::CAdverts* ads = frame.Adverts();
        ASSERT_TRUE(ads);
        std::vector<QUrl> opened;
        ads->SetLinkOpener([&](const QUrl& url) { opened.push_back(url); });
        veneer::CSCScrollStatic* text = AdvertText(frame);
        ASSERT_TRUE(text) << skins[i].name;

        if (i == 0) {
            // Right after "Ready" the frame shows the file it has; the
            // download replaces it in the background and timer 2 brings the
            // new lines.
            EXPECT_EQ(text->Texts(), QStringList{"Yesterday's advert"});
            ASSERT_TRUE(WaitFor([&] { return ads->Downloader()->Attempts() > 0; }));
        }
        ads->ReloadAdvertLists();
        ASSERT_EQ(text->Texts().size(), 2) << skins[i].name;

        // The first line's link is a local file: never opened. The second
        // line's web link is.
        Click(text);
        while (text->CurrentIndex() == 0)
            text->Tick();
        Click(text);
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0].toString().toStdString(), "https://example.org/shop");

        // The banner: loads once, then shows and hides every other step.
        auto banners = ads->Banners();
        ASSERT_EQ(banners.size(), 1u);
        CTVScreenBanner* tv = banners[0];
        tv->SetConnectionTest([] { return true; });
        EXPECT_FALSE(tv->isVisible());
        ads->BannerStep();
        EXPECT_EQ(tv->State(), 1);
        EXPECT_FALSE(tv->isVisible());
        ASSERT_TRUE(WaitFor([&] { return !tv->IsBusy(); }));
        std::vector<bool> shown;
        for (int step = 0; step < 4; ++step) {
            ads->BannerStep();
            shown.push_back(tv->isVisible());
        }
        EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false})) << skins[i].name;
        EXPECT_EQ(banner.Requests(), static_cast<int>(i + 1)); // once per frame
        EXPECT_FALSE(tv->View()->toPlainText().contains(QStringLiteral("scripts never run")));

        ads->BannerStep();
        for (int t = 0; t < 260; ++t)
            text->Tick();
        QCoreApplication::processEvents();
        const QString file = QStringLiteral(SCREENSHOT_DIR "/sonvara-adverts-%1.png")
                                 .arg(QString::fromStdString(skins[i].name));
        EXPECT_TRUE(frame.grab().save(file)) << file.toStdString();

        // Another skin makes new controls: they show the lines at once.
        const std::size_t next = (i + 1) % skins.size();
        EXPECT_TRUE(frame.OnCommand(static_cast<unsigned>(ui::kSkinCommandFirst + next)));
        text = AdvertText(frame);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->Texts(), ads->Texts());
        EXPECT_EQ(ads->Banners().size(), 1u);
        Close();
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(AdvertsFrame, EmptySettingsNeverConnect) {
    shell::CMainFrame& frame = Start();
    ui::adverts::CAdverts* ads = frame.Adverts();
    ASSERT_TRUE(ads);
    EXPECT_EQ(ads->Downloader(), nullptr);
    auto banners = ads->Banners();
    ASSERT_EQ(banners.size(), 1u);
    banners[0]->SetConnectionTest([] { return true; });
    for (int step = 0; step < 4; ++step) {
        ads->BannerStep();
        EXPECT_FALSE(banners[0]->isVisible());
    }
    EXPECT_EQ(banners[0]->State(), 0);
    // No Adverts.ini: the scrolling text stays empty.
    veneer::CSCScrollStatic* text = AdvertText(frame);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->Texts().isEmpty());
    Close();
}

} // namespace
