// XPlayer: the IPlayer handed to modules, over the host's one player. Besides
// driving the player it keeps the frame's player controls in step (position,
// volume and balance sliders, enabled states, play/pause visibility, timer 1)
// and settles which module owns the player: the owner hears
// WM_PLAYER_ACQUIRED and WM_PLAYER_LOST, and the transport commands the user
// gives are forwarded to it.
//
// Window thread only. The position timer takes the player's control lock
// while it moves the position sliders.
#pragma once

#include "sonvara/IPlayer.h"

#include <string>

class CExtPlayer;

namespace modules {

class CModuleHost;
struct CModuleEntry;

class CPlayerInterface final : public IPlayer {
public:
    CPlayerInterface(CModuleHost& host, CExtPlayer& player);

    // IPlayer
    int Play() override;
    int Stop() override;
    int Pause() override;
    const WAVEFORMATEXTENSIBLE* GetFormat() override;
    int SetFormat(const WAVEFORMATEXTENSIBLE* format) override;
    std::uint32_t GetBufferCount() override;
    int SetBufferCount(std::uint32_t count) override;
    std::uint32_t GetBufferSize() override;
    int SetBufferSize(std::uint32_t bytes) override;
    int SetStreamCallback(PlayerStreamCallback callback, void* user) override;
    std::uint32_t GetPosition() override { return m_position; }
    int SetPosition(std::uint32_t position) override;
    std::uint32_t GetVolume() override;
    int SetVolume(std::uint32_t volume) override;
    std::uint32_t GetBalance() override;
    int SetBalance(std::uint32_t balance) override;
    const char* GetPlayerOwner() override;
    int AcquirePlayer(const char* moduleName) override;
    int ReleasePlayer(const char* moduleName) override;
    int EnablePlayerControls(const char* moduleName, int enable) override;
    int GetShuffle() override { return m_shuffle ? 1 : 0; }
    int GetRepeat() override { return m_repeat ? 1 : 0; }
    std::uint32_t GetState() override;

    // --- the frame's side ---
    // A transport button (PLAYER_GOTOPREV ... PLAYER_GOTONEXT) was pressed:
    // PLAYER_PLAY first hands the player to the shown module; the command is
    // then forwarded to the owner (PLAYER_STOP also ends its ownership) and
    // the controls are re-evaluated. False for other ids.
    bool OnTransportCommand(unsigned commandId);
    // PLAYER_SHUFFLE / PLAYER_REPEAT toggled; returns the new state (the
    // frame sets the buttons' check state).
    bool ToggleShuffle() { return m_shuffle = !m_shuffle; }
    bool ToggleRepeat() { return m_repeat = !m_repeat; }
    void SetShuffle(bool on) { m_shuffle = on; }
    void SetRepeat(bool on) { m_repeat = on; }
    // Slider input: the position slider reports when its thumb is released;
    // volume and balance while dragged and when released.
    void OnPositionSlider(int position);
    void OnVolumeSlider(int position);
    void OnBalanceSlider(int position);
    // Timer 1: the position sliders follow the stored position.
    void OnPositionTimer();
    // Enabled states of the player controls and the play/pause visibility.
    void UpdateControlStates();

    // Tooltip texts of the sliders for a position within [min, max].
    static std::string PositionTooltip(int pos, int min, int max);
    static std::string VolumeTooltip(int pos, int min, int max);
    static std::string BalanceTooltip(int pos, int min, int max);

    CExtPlayer& Engine() { return m_player; }

private:
    CModuleEntry* Owner();
    void SendToModule(CModuleEntry& entry, unsigned message, std::uintptr_t wParam = 0,
                      std::intptr_t lParam = 0);
    // Moves ownership from the current owner (if any) to entry, stopping
    // playback and telling both.
    void HandOver(CModuleEntry& entry);

    CModuleHost& m_host;
    CExtPlayer& m_player;
    std::uint32_t m_position = 0;
    bool m_shuffle = false;
    bool m_repeat = false;
    // Play started the player and no Stop came since: the position timer
    // watches for the player stopping by itself.
    bool m_started = false;
};

} // namespace modules
