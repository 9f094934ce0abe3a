#include "modules/PlayerInterface.h"

#include "audio/ExtPlayer.h"
#include "modules/ModuleHost.h"
#include "sonvara/Messages.h"

#include <cstdio>
#include <mutex>

namespace modules {

namespace {

constexpr unsigned kPositionSliderId = 14010;
constexpr unsigned kVolumeSliderId = 14020;
constexpr unsigned kBalanceSliderId = 14030;

bool IsTransport(unsigned id) {
    using namespace sonvara;
    return id == ID_PLAYER_GOTOPREV || id == ID_PLAYER_BACKWARD || id == ID_PLAYER_PLAY ||
           id == ID_PLAYER_PAUSE || id == ID_PLAYER_STOP || id == ID_PLAYER_FORWARD ||
           id == ID_PLAYER_GOTONEXT;
}

std::string Format(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

CPlayerInterface::CPlayerInterface(CModuleHost& host, CExtPlayer& player)
    : m_host(host), m_player(player) {}

CModuleEntry* CPlayerInterface::Owner() {
    for (std::size_t i = 0; i < m_host.Count(); ++i)
        if (m_host.Entry(i).playerOwner) return &m_host.Entry(i);
    return nullptr;
}

void CPlayerInterface::SendToModule(CModuleEntry& entry, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    if (entry.Window) m_host.Site().SendWindowMessage(entry.Window, message, wParam, lParam);
}

int CPlayerInterface::Play() {
    std::uint32_t result = m_player.Play();
    if (result == CExtPlayer::kNotAvailable) {
        m_player.Reset();
        result = m_player.Play();
    }
    if (result != CExtPlayer::kDone) return 0;
    m_started = true;
    m_host.Site().StartPositionTimer();
    UpdateControlStates();
    return 1;
}

int CPlayerInterface::Stop() {
    const std::uint32_t result = m_player.Stop(CExtPlayer::kStopRequested);
    m_started = false;
    m_host.Site().SetStatusText("");
    m_host.Site().SetSliderPositions(EPlayerSlider::Position, 0, false);
    m_host.Site().StopPositionTimer();
    UpdateControlStates();
    return result == CExtPlayer::kDone ? 1 : 0;
}

int CPlayerInterface::Pause() {
    const int ok = m_player.Pause() == CExtPlayer::kDone ? 1 : 0;
    UpdateControlStates();
    return ok;
}

const WAVEFORMATEXTENSIBLE* CPlayerInterface::GetFormat() {
    return m_player.GetFormat();
}

int CPlayerInterface::SetFormat(const WAVEFORMATEXTENSIBLE* format) {
    if (!format) return 0;
    return m_player.SetFormat(format) == CExtPlayer::kDone ? 1 : 0;
}

std::uint32_t CPlayerInterface::GetBufferCount() {
    return m_player.GetBufferCount();
}

int CPlayerInterface::SetBufferCount(std::uint32_t count) {
    return m_player.SetBufferCount(count) == CExtPlayer::kDone ? 1 : 0;
}

std::uint32_t CPlayerInterface::GetBufferSize() {
    return m_player.GetBufferSize();
}

int CPlayerInterface::SetBufferSize(std::uint32_t bytes) {
    return m_player.SetBufferSize(bytes) == CExtPlayer::kDone ? 1 : 0;
}

int CPlayerInterface::SetStreamCallback(PlayerStreamCallback callback, void* user) {
    return m_player.SetStreamCallback(callback, user) == CExtPlayer::kDone ? 1 : 0;
}

int CPlayerInterface::SetPosition(std::uint32_t position) {
    m_position = position;
    return 1;
}

std::uint32_t CPlayerInterface::GetVolume() {
    if (auto pos = m_host.Site().FirstSliderPosition(EPlayerSlider::Volume))
        return static_cast<std::uint32_t>(*pos);
    return m_player.GetVolume();
}

int CPlayerInterface::SetVolume(std::uint32_t volume) {
    m_host.Site().SetSliderPositions(EPlayerSlider::Volume, static_cast<int>(volume), false);
    m_player.SetVolume(volume);
    return 1;
}

std::uint32_t CPlayerInterface::GetBalance() {
    if (auto pos = m_host.Site().FirstSliderPosition(EPlayerSlider::Balance))
        return static_cast<std::uint32_t>(*pos);
    return m_player.GetBalance();
}

int CPlayerInterface::SetBalance(std::uint32_t balance) {
    m_host.Site().SetSliderPositions(EPlayerSlider::Balance, static_cast<int>(balance), false);
    m_player.SetBalance(balance);
    return 1;
}

const char* CPlayerInterface::GetPlayerOwner() {
    CModuleEntry* owner = Owner();
    return owner ? owner->Name.c_str() : nullptr;
}

int CPlayerInterface::AcquirePlayer(const char* moduleName) {
    CModuleEntry* module = m_host.FindModule(moduleName);
    if (!module) return 0;
    CModuleEntry* owner = Owner();
    if (!owner) {
        SendToModule(*module, sonvara::WM_PLAYER_ACQUIRED);
        module->playerOwner = 1;
    } else if (owner == module) {
        Stop();
        SendToModule(*module, sonvara::WM_PLAYER_ACQUIRED);
    } else {
        HandOver(*module);
    }
    UpdateControlStates();
    return 1;
}

void CPlayerInterface::HandOver(CModuleEntry& module) {
    CModuleEntry* owner = Owner();
    Stop();
    if (owner) {
        SendToModule(*owner, sonvara::WM_PLAYER_LOST);
        owner->playerOwner = 0;
    }
    SendToModule(module, sonvara::WM_PLAYER_ACQUIRED);
    module.playerOwner = 1;
}

int CPlayerInterface::ReleasePlayer(const char* moduleName) {
    CModuleEntry* module = m_host.FindModule(moduleName);
    if (!module) return 0;
    if (module->playerOwner) {
        Stop();
        module->playerOwner = 0;
        UpdateControlStates();
    }
    return 1;
}

int CPlayerInterface::EnablePlayerControls(const char* moduleName, int enable) {
    CModuleEntry* module = m_host.FindModule(moduleName);
    if (!module) return 0;
    module->usesPlayerControls = enable ? 1 : 0;
    UpdateControlStates();
    return 1;
}

std::uint32_t CPlayerInterface::GetState() {
    return m_player.GetState();
}

bool CPlayerInterface::OnTransportCommand(unsigned commandId) {
    if (!IsTransport(commandId)) return false;
    if (commandId == sonvara::ID_PLAYER_PLAY) {
        if (CModuleEntry* active = m_host.GetActiveModule()) {
            CModuleEntry* owner = Owner();
            if (!owner) {
                SendToModule(*active, sonvara::WM_PLAYER_ACQUIRED);
                active->playerOwner = 1;
            } else if (owner != active && active->usesPlayerControls) {
                HandOver(*active);
            }
        }
    }
    if (CModuleEntry* owner = Owner()) {
        SendToModule(*owner, sonvara::WM_COMMAND, commandId, 0);
        // The module may have gone from the table while it handled the
        // command; look the owner up again before clearing its flag.
        if (commandId == sonvara::ID_PLAYER_STOP)
            if (CModuleEntry* still = Owner()) still->playerOwner = 0;
    }
    UpdateControlStates();
    return true;
}

void CPlayerInterface::OnPositionSlider(int position) {
    m_position = static_cast<std::uint32_t>(position);
    m_host.Site().SetSliderPositions(EPlayerSlider::Position, position, false);
    if (CModuleEntry* owner = Owner())
        SendToModule(*owner, sonvara::WM_COMMAND, sonvara::ID_PLAYER_SEEK, position);
}

void CPlayerInterface::OnVolumeSlider(int position) {
    m_player.SetVolume(static_cast<std::uint32_t>(position < 0 ? 0 : position));
    m_host.Site().SetSliderPositions(EPlayerSlider::Volume, position, false);
}

void CPlayerInterface::OnBalanceSlider(int position) {
    m_player.SetBalance(static_cast<std::uint32_t>(position < 0 ? 0 : position));
    m_host.Site().SetSliderPositions(EPlayerSlider::Balance, position, false);
}

void CPlayerInterface::OnPositionTimer() {
    {
        std::lock_guard<std::mutex> guard(m_player.ControlLock());
        m_host.Site().SetSliderPositions(EPlayerSlider::Position, static_cast<int>(m_position),
                                         true);
    }
    // A stream that ended by itself (or a device that failed) stopped the
    // player on its own thread: the controls follow as after a user's Stop,
    // Play shown again and the running-only controls disabled.
    const std::uint32_t state = m_player.GetState();
    if (!m_started || state == CExtPlayer::kPlaying || state == CExtPlayer::kPaused) return;
    m_started = false;
    m_host.Site().SetSliderPositions(EPlayerSlider::Position, 0, false);
    m_host.Site().StopPositionTimer();
    UpdateControlStates();
}

void CPlayerInterface::UpdateControlStates() {
    CModuleEntry* relevant = Owner();
    if (!relevant) relevant = m_host.GetActiveModule();
    const bool uses = relevant && relevant->usesPlayerControls;
    const std::uint32_t state = m_player.GetState();
    const bool running = state == CExtPlayer::kPlaying || state == CExtPlayer::kPaused;
    auto& site = m_host.Site();
    using namespace sonvara;
    site.SetControlEnabled(ID_PLAYER_PLAY, uses);
    site.SetControlEnabled(kVolumeSliderId, uses);
    site.SetControlEnabled(kBalanceSliderId, uses);
    for (unsigned id : {ID_PLAYER_GOTOPREV, ID_PLAYER_BACKWARD, ID_PLAYER_PAUSE, ID_PLAYER_STOP,
                        ID_PLAYER_FORWARD, ID_PLAYER_GOTONEXT, kPositionSliderId})
        site.SetControlEnabled(id, uses && running);
    site.SetControlEnabled(ID_PLAYER_SHUFFLE, true);
    site.SetControlEnabled(ID_PLAYER_REPEAT, true);
    site.SetPlayPauseVisibility(state == CExtPlayer::kPlaying);
}

std::string CPlayerInterface::PositionTooltip(int pos, int min, int max) {
    return Format("Position: %d%%", max > min ? (pos - min) * 100 / (max - min) : 0);
}

std::string CPlayerInterface::VolumeTooltip(int pos, int min, int max) {
    return Format("Volume: %d%%", max > min ? (pos - min) * 100 / (max - min) : 0);
}

std::string CPlayerInterface::BalanceTooltip(int pos, int min, int max) {
    const int middle = (min + max) / 2;
    const int half = (max - min) / 2;
    if (half <= 0 || pos == middle) return "Balance: 0%";
    if (pos < middle) return Format("Balance: %d%% left", (middle - pos) * 100 / half);
    return Format("Balance: %d%% right", (pos - middle) * 100 / half);
}

} // namespace modules
