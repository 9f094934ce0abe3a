#include "modules/MicroInterface.h"

#include "audio/ExtMicro.h"
#include "modules/ModuleHost.h"
#include "sonvara/Messages.h"

namespace modules {

XMicro::XMicro(CModuleHost& host, CExtMicro& micro) : m_host(host), m_micro(micro) {}

CModuleEntry* XMicro::Owner() {
    for (std::size_t i = 0; i < m_host.Count(); ++i)
        if (m_host.Entry(i).microOwner) return &m_host.Entry(i);
    return nullptr;
}

void XMicro::SendToModule(CModuleEntry& entry, unsigned message) {
    if (entry.Window) m_host.Site().SendWindowMessage(entry.Window, message, 0, 0);
}

int XMicro::Play() {
    std::uint32_t result = m_micro.Play();
    if (result == CExtMicro::kNotAvailable) {
        m_micro.Reset();
        result = m_micro.Play();
    }
    if (result == CExtMicro::kDone) return 1;
    // A device that cannot record must not look like a silent recording.
    const std::string error = m_micro.GetDeviceError();
    if (!error.empty())
        m_host.Site().SetStatusText(("Cannot open the recording device: " + error).c_str());
    return 0;
}

int XMicro::Stop() {
    return m_micro.Stop() == CExtMicro::kDone ? 1 : 0;
}

int XMicro::Pause() {
    return m_micro.Pause() == CExtMicro::kDone ? 1 : 0;
}

const WAVEFORMATEX* XMicro::GetFormat() {
    return m_micro.GetFormat();
}

int XMicro::SetFormat(const WAVEFORMATEX* format) {
    return m_micro.SetFormat(format) == CExtMicro::kDone ? 1 : 0;
}

std::uint32_t XMicro::GetBufferCount() {
    return m_micro.GetBufferCount();
}

int XMicro::SetBufferCount(std::uint32_t count) {
    return m_micro.SetBufferCount(count) == CExtMicro::kDone ? 1 : 0;
}

std::uint32_t XMicro::GetBufferSize() {
    return m_micro.GetBufferSize();
}

int XMicro::SetBufferSize(std::uint32_t bytes) {
    return m_micro.SetBufferSize(bytes) == CExtMicro::kDone ? 1 : 0;
}

int XMicro::SetCaptureCallback(CaptureCallback callback, void* user) {
    return m_micro.SetCaptureCallback(callback, user) == CExtMicro::kDone ? 1 : 0;
}

const char* XMicro::GetMicroOwner() {
    CModuleEntry* owner = Owner();
    return owner ? owner->Name.c_str() : nullptr;
}

int XMicro::AcquireMicro(const char* moduleName) {
    CModuleEntry* module = m_host.FindModule(moduleName);
    if (!module) return 0;
    CModuleEntry* owner = Owner();
    if (!owner) {
        SendToModule(*module, sonvara::WM_MICRO_ACQUIRED);
        module->microOwner = 1;
    } else if (owner == module) {
        m_micro.Stop();
        SendToModule(*module, sonvara::WM_MICRO_ACQUIRED);
    } else {
        m_micro.Stop();
        SendToModule(*owner, sonvara::WM_MICRO_LOST);
        owner->microOwner = 0;
        SendToModule(*module, sonvara::WM_MICRO_ACQUIRED);
        module->microOwner = 1;
    }
    UpdateRecordControl();
    return 1;
}

int XMicro::ReleaseMicro(const char* moduleName) {
    CModuleEntry* module = m_host.FindModule(moduleName);
    if (!module) return 0;
    if (module->microOwner) {
        m_micro.Stop();
        module->microOwner = 0;
        UpdateRecordControl();
    }
    return 1;
}

int XMicro::EnableRecordControl(const char* moduleName, int enable) {
    CModuleEntry* module = m_host.FindModule(moduleName);
    if (!module) return 0;
    module->usesRecordControl = enable ? 1 : 0;
    UpdateRecordControl();
    return 1;
}

std::uint32_t XMicro::GetState() {
    return m_micro.GetState();
}

bool XMicro::OnRecordCommand() {
    CModuleEntry* active = m_host.GetActiveModule();
    if (!active || !active->Window) return false;
    m_host.Site().SendWindowMessage(active->Window, sonvara::WM_COMMAND, sonvara::ID_PLAYER_RECORD,
                                    0);
    UpdateRecordControl();
    return true;
}

bool XMicro::IsRecordControlEnabled() {
    CModuleEntry* relevant = Owner();
    if (!relevant) relevant = m_host.GetActiveModule();
    return relevant && relevant->usesRecordControl;
}

void XMicro::UpdateRecordControl() {
    m_host.Site().SetControlEnabled(sonvara::ID_PLAYER_RECORD, IsRecordControlEnabled());
}

void XMicro::ReportLostDevice() {
    if (m_micro.GetState() != CExtMicro::kFailed || !m_micro.DeviceLost()) {
        m_lossReported = false;
        return;
    }
    if (m_lossReported) return;
    m_lossReported = true;
    m_host.Site().SetStatusText(("Recording stopped: " + m_micro.GetDeviceError()).c_str());
}

void XMicro::DetachSource() {
    m_micro.Stop();
    m_micro.Reset();
    m_micro.SetCaptureCallback(nullptr, nullptr);
}

} // namespace modules
