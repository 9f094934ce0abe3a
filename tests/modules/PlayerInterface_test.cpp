#include "ModulesTestSupport.h"

#include "sonvara/IPlayer.h"
#include "sonvara/Messages.h"

#include <gtest/gtest.h>

using modules::EPlayerSlider;
using ::testing::ElementsAre;

namespace {

std::string Msg(const std::string& module, unsigned message, unsigned wParam = 0) {
    return module + " " + std::to_string(message) + " " + std::to_string(wParam);
}
const unsigned kAcquired = sonvara::WM_PLAYER_ACQUIRED;
const unsigned kLost = sonvara::WM_PLAYER_LOST;

std::uint32_t Silence(void*, StreamBuffer* block, std::uint32_t) {
    if (block->channels.empty()) return 0;
    block->valid = block->frames;
    return block->frames;
}

} // namespace

// The ownership protocol: the owner hears of every loss, a re-acquire by the
// owner restarts it, and a release by a non-owner changes nothing.
TEST(PlayerOwnership, AcquireAndRelease) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    IPlayer* player = f.host->QueryInterface()->GetPlayer();
    EXPECT_EQ(player->GetPlayerOwner(), nullptr);
    EXPECT_EQ(player->AcquirePlayer("Nobody"), 0);
    EXPECT_EQ(player->AcquirePlayer("ALPHA"), 1);
    EXPECT_STREQ(player->GetPlayerOwner(), "Alpha");

    ASSERT_EQ(player->SetStreamCallback(&Silence, nullptr), 1);
    ASSERT_EQ(player->Play(), 1);
    EXPECT_TRUE(f.site.timerRunning);
    EXPECT_EQ(player->AcquirePlayer("Alpha"), 1); // the owner again: stop, tell again
    EXPECT_EQ(player->GetState(), 2u);
    EXPECT_FALSE(f.site.timerRunning);

    EXPECT_EQ(player->AcquirePlayer("Beta"), 1);
    EXPECT_STREQ(player->GetPlayerOwner(), "Beta");
    EXPECT_EQ(f.host->Entry(0).playerOwner, 0u);
    EXPECT_THAT(f.site.messages, ElementsAre(Msg("Alpha", kAcquired), Msg("Alpha", kAcquired),
                                             Msg("Alpha", kLost), Msg("Beta", kAcquired)));

    f.site.messages.clear();
    EXPECT_EQ(player->ReleasePlayer("Alpha"), 1); // not the owner
    EXPECT_STREQ(player->GetPlayerOwner(), "Beta");
    EXPECT_EQ(player->ReleasePlayer("Nobody"), 0);
    EXPECT_EQ(player->ReleasePlayer("beta"), 1);
    EXPECT_EQ(player->GetPlayerOwner(), nullptr);
    EXPECT_TRUE(f.site.messages.empty());
}

// Play hands the player to the shown module; the other transport buttons go
// to the owner only, and Stop ends the ownership.
TEST(PlayerOwnership, TransportButtons) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    modules::CPlayerInterface& player = f.host->Player();
    f.host->ActivateModule(0);
    EXPECT_FALSE(player.OnTransportCommand(sonvara::ID_PLAYER_SHUFFLE));
    EXPECT_TRUE(player.OnTransportCommand(sonvara::ID_PLAYER_PLAY));
    EXPECT_STREQ(player.GetPlayerOwner(), "Alpha");

    // Beta shown but without player controls: Alpha keeps the player.
    f.host->ActivateModule(1);
    player.OnTransportCommand(sonvara::ID_PLAYER_PLAY);
    EXPECT_STREQ(player.GetPlayerOwner(), "Alpha");
    // With them, Play moves the player to Beta.
    player.EnablePlayerControls("Beta", 1);
    player.OnTransportCommand(sonvara::ID_PLAYER_PLAY);
    EXPECT_STREQ(player.GetPlayerOwner(), "Beta");
    player.OnTransportCommand(sonvara::ID_PLAYER_GOTONEXT);
    player.OnTransportCommand(sonvara::ID_PLAYER_STOP);
    EXPECT_EQ(player.GetPlayerOwner(), nullptr);
    player.OnTransportCommand(sonvara::ID_PLAYER_PAUSE); // no owner: nobody hears it

    const unsigned cmd = sonvara::WM_COMMAND;
    EXPECT_THAT(f.site.messages,
                ElementsAre(Msg("Alpha", kAcquired), Msg("Alpha", cmd, sonvara::ID_PLAYER_PLAY),
                            Msg("Alpha", cmd, sonvara::ID_PLAYER_PLAY), Msg("Alpha", kLost),
                            Msg("Beta", kAcquired), Msg("Beta", cmd, sonvara::ID_PLAYER_PLAY),
                            Msg("Beta", cmd, sonvara::ID_PLAYER_GOTONEXT),
                            Msg("Beta", cmd, sonvara::ID_PLAYER_STOP)));
}

// Enabled states follow the owner (or the shown module) and the player state.
TEST(PlayerControls, EnabledStatesAndPlayPauseVisibility) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    modules::CPlayerInterface& player = f.host->Player();
    auto enabled = [&](unsigned id) { return f.site.enabledState.at(id); };
    f.host->ActivateModule(0);
    EXPECT_FALSE(enabled(sonvara::ID_PLAYER_PLAY));
    EXPECT_FALSE(enabled(14020));
    EXPECT_TRUE(enabled(sonvara::ID_PLAYER_SHUFFLE));
    EXPECT_TRUE(enabled(sonvara::ID_PLAYER_REPEAT));

    player.EnablePlayerControls("alpha", 1);
    EXPECT_TRUE(enabled(sonvara::ID_PLAYER_PLAY));
    EXPECT_TRUE(enabled(14020));
    EXPECT_TRUE(enabled(14030));
    EXPECT_FALSE(enabled(sonvara::ID_PLAYER_STOP)); // stopped
    EXPECT_FALSE(enabled(14010));

    player.AcquirePlayer("Alpha");
    player.SetStreamCallback(&Silence, nullptr);
    player.Play();
    EXPECT_TRUE(enabled(sonvara::ID_PLAYER_STOP));
    EXPECT_TRUE(enabled(14010));
    EXPECT_TRUE(f.site.pauseShown);
    // The owner decides, even while another module is shown.
    f.host->ActivateModule(1);
    EXPECT_TRUE(enabled(sonvara::ID_PLAYER_PLAY));
    player.Pause();
    EXPECT_FALSE(f.site.pauseShown);
    EXPECT_TRUE(enabled(sonvara::ID_PLAYER_STOP));
    player.Stop();
    EXPECT_FALSE(enabled(sonvara::ID_PLAYER_STOP));
    EXPECT_EQ(f.site.sliders[static_cast<int>(EPlayerSlider::Position)], 0);
}

TEST(PlayerControls, SlidersPositionAndTimer) {
    HostFixture f;
    f.Load({"alpha"});
    modules::CPlayerInterface& player = f.host->Player();
    player.AcquirePlayer("Alpha");
    // Without sliders the player's own values answer.
    player.SetVolume(150);
    EXPECT_EQ(f.host->Player().Engine().GetVolume(), 100u);
    f.site.sliders.clear();
    EXPECT_EQ(player.GetVolume(), 100u);
    player.SetBalance(30);
    EXPECT_EQ(player.GetBalance(), 30u);
    player.OnVolumeSlider(40);
    EXPECT_EQ(player.Engine().GetVolume(), 40u);
    player.OnBalanceSlider(70);
    EXPECT_EQ(player.Engine().GetBalance(), 70u);

    EXPECT_EQ(player.SetPosition(123), 1);
    EXPECT_EQ(player.GetPosition(), 123u);
    player.OnPositionTimer();
    EXPECT_EQ(f.site.sliders[static_cast<int>(EPlayerSlider::Position)], 123);
    f.site.messages.clear();
    player.OnPositionSlider(55);
    EXPECT_EQ(player.GetPosition(), 55u);
    EXPECT_THAT(f.site.messages,
                ElementsAre(Msg("Alpha", sonvara::WM_COMMAND, sonvara::ID_PLAYER_SEEK)));

    using P = modules::CPlayerInterface;
    EXPECT_EQ(P::PositionTooltip(50, 0, 200), "Position: 25%");
    EXPECT_EQ(P::VolumeTooltip(100, 0, 100), "Volume: 100%");
    EXPECT_EQ(P::BalanceTooltip(50, 0, 100), "Balance: 0%");
    EXPECT_EQ(P::BalanceTooltip(25, 0, 100), "Balance: 50% left");
    EXPECT_EQ(P::BalanceTooltip(100, 0, 100), "Balance: 100% right");
    EXPECT_EQ(P::VolumeTooltip(3, 3, 3), "Volume: 0%"); // an empty range divides by nothing
}

// Play without a stream callback fails even after the one retry.
TEST(PlayerControls, PlayWithoutCallbackFails) {
    HostFixture f;
    IPlayer* player = f.host->QueryInterface()->GetPlayer();
    EXPECT_EQ(player->Play(), 0);
    EXPECT_FALSE(f.site.timerRunning);
    EXPECT_EQ(player->SetBufferCount(101), 0);
    EXPECT_EQ(player->GetBufferCount(), 5u);
    EXPECT_EQ(player->GetFormat()->Format.nChannels, 2);
}
