#include "ModulesTestSupport.h"

#include "sonvara/IMicro.h"
#include "sonvara/Messages.h"
#include "support/UnpluggedDevices.h"

#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

std::string Msg(const std::string& module, unsigned message, unsigned wParam = 0) {
    return module + " " + std::to_string(message) + " " + std::to_string(wParam);
}
const unsigned kAcquired = sonvara::WM_MICRO_ACQUIRED;
const unsigned kLost = sonvara::WM_MICRO_LOST;

std::uint32_t Ignore(void*, const void*, std::uint32_t) {
    return 0;
}

} // namespace

// The owner hears of every loss and is stopped first; a re-acquire by the
// owner stops and tells it again; a release by a non-owner changes nothing.
TEST(MicroOwnership, AcquireAndReleaseStopTheRecordingAndTellTheModules) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    IMicro* micro = f.host->QueryInterface()->GetMicro();
    EXPECT_EQ(micro->GetMicroOwner(), nullptr);
    EXPECT_EQ(micro->AcquireMicro("Nobody"), 0);
    EXPECT_EQ(micro->AcquireMicro("ALPHA"), 1);
    EXPECT_STREQ(micro->GetMicroOwner(), "Alpha");

    ASSERT_EQ(micro->SetCaptureCallback(&Ignore, nullptr), 1);
    ASSERT_EQ(micro->Play(), 1);
    EXPECT_EQ(micro->AcquireMicro("alpha"), 1);
    EXPECT_EQ(micro->GetState(), 2u);
    ASSERT_EQ(micro->Play(), 1);
    EXPECT_EQ(micro->AcquireMicro("Beta"), 1);
    EXPECT_EQ(micro->GetState(), 2u);
    EXPECT_STREQ(micro->GetMicroOwner(), "Beta");
    EXPECT_THAT(f.site.messages, ElementsAre(Msg("Alpha", kAcquired), Msg("Alpha", kAcquired),
                                             Msg("Alpha", kLost), Msg("Beta", kAcquired)));

    f.site.messages.clear();
    ASSERT_EQ(micro->Play(), 1);
    EXPECT_EQ(micro->ReleaseMicro("Alpha"), 1); // not the owner
    EXPECT_EQ(micro->GetState(), 0u);
    EXPECT_EQ(micro->ReleaseMicro("Nobody"), 0);
    EXPECT_EQ(micro->ReleaseMicro("beta"), 1);
    EXPECT_EQ(micro->GetState(), 2u);
    EXPECT_EQ(micro->GetMicroOwner(), nullptr);
    EXPECT_TRUE(f.site.messages.empty());
    EXPECT_EQ(micro->EnableRecordControl("Nobody", 1), 0);

    // Without a callback Play fails even after its one reset and retry.
    ASSERT_EQ(micro->SetCaptureCallback(nullptr, nullptr), 1);
    EXPECT_EQ(micro->Play(), 0);
    EXPECT_EQ(micro->GetState(), 2u);
}

// The record button follows the owner's wish, or with no owner the shown
// module's; the record command goes to the shown module only.
TEST(MicroOwnership, RecordButtonFollowsTheOwnerElseTheShownModule) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    modules::XMicro& micro = f.host->Micro();
    auto enabled = [&] { return f.site.enabledState.at(sonvara::ID_PLAYER_RECORD); };
    EXPECT_FALSE(micro.OnRecordCommand()); // nothing shown
    f.host->ActivateModule(1);
    micro.EnableRecordControl("Alpha", 1);
    EXPECT_FALSE(enabled());
    f.host->ActivateModule(0);
    EXPECT_TRUE(enabled());

    micro.AcquireMicro("Beta");
    EXPECT_FALSE(enabled()); // Beta owns the microphone and did not ask
    micro.EnableRecordControl("Beta", 1);
    micro.EnableRecordControl("Alpha", 0);
    EXPECT_TRUE(enabled());
    micro.ReleaseMicro("Beta");
    EXPECT_FALSE(enabled()); // back to the shown module, Alpha

    f.site.messages.clear();
    EXPECT_TRUE(micro.OnRecordCommand());
    EXPECT_THAT(f.site.messages,
                ElementsAre(Msg("Alpha", sonvara::WM_COMMAND, sonvara::ID_PLAYER_RECORD)));
}

// A microphone unplugged while it records fails the recorder on its own
// thread; the window's periodic look tells the user once, and the next Play
// (reset and retry) records again on a new device.
TEST(MicroOwnership, ALostRecordingDeviceIsToldOnceAndPlayRecordsAgain) {
    RecordingSite site;
    CExtPlayerDX player([](std::string*) {
        return std::unique_ptr<platform::audio::OutputDevice>(
            std::make_unique<platform::audio::VirtualOutputDevice>());
    });
    platform::audio::VirtualCaptureDevice* device = nullptr;
    bool unplug = true;
    CExtMicro engine([&](std::string*) {
        std::unique_ptr<platform::audio::VirtualCaptureDevice> d;
        if (unplug)
            d = std::make_unique<testsupport::UnpluggedInput>(10);
        else
            d = std::make_unique<platform::audio::VirtualCaptureDevice>();
        device = d.get();
        return std::unique_ptr<platform::audio::CaptureDevice>(std::move(d));
    });
    modules::CModuleHost host(site, player, &engine);
    modules::XMicro& micro = host.Micro();
    ASSERT_EQ(micro.SetCaptureCallback(&Ignore, nullptr), 1);
    ASSERT_EQ(micro.Play(), 1);
    device->Advance(20);
    ASSERT_TRUE(engine.WaitForWakeups(1));
    ASSERT_EQ(engine.GetState(), CExtMicro::kFailed);
    micro.ReportLostDevice();
    EXPECT_EQ(site.status, "Recording stopped: the test microphone was unplugged");
    site.status.clear();
    micro.ReportLostDevice();
    EXPECT_EQ(site.status, "");

    unplug = false;
    ASSERT_EQ(micro.Play(), 1);
    EXPECT_EQ(engine.GetState(), CExtMicro::kRecording);
    micro.ReportLostDevice();
    EXPECT_EQ(site.status, "");
    EXPECT_EQ(micro.Stop(), 1);
}
