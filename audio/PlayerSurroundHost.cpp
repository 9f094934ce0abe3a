#include "audio/PlayerSurroundHost.h"

#include "platform/audio/DeviceSelection.h"

CPlayerSurroundHost::CPlayerSurroundHost(CExtPlayer& player, LayoutProbe probe)
    : m_player(player), m_probe(std::move(probe)) {}

void CPlayerSurroundHost::SetSurroundTurn(bool on) {
    m_turn = on;
    if (surroundTurnChanged) surroundTurnChanged(on);
}

bool CPlayerSurroundHost::SupportsLayout(int channels, std::uint32_t mask) {
    if (m_probe) return m_probe(channels, mask);
    return platform::audio::OutputSupportsLayout(platform::audio::SelectedOutputDeviceName(),
                                                 static_cast<std::uint16_t>(channels), mask, 44100);
}

void CPlayerSurroundHost::ReapplyFormat() {
    const WAVEFORMATEXTENSIBLE own = *m_player.GetFormat();
    m_player.SetFormat(&own);
}

void CPlayerSurroundHost::PlayPlayer() {
    if (play)
        play();
    else
        m_player.Play();
}
