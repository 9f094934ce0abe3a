// XMicro: the IMicro handed to modules, over the host's one recorder. It
// settles which module owns the microphone (the owner hears
// WM_MICRO_ACQUIRED and WM_MICRO_LOST), keeps the frame's PLAYER_RECORD
// button enabled for the module that wants it, and forwards the record
// command to the shown module.
//
// Window thread only. The recorder's capture thread calls the owner's
// callback and never this object.
#pragma once

#include "sonvara/IMicro.h"

class CExtMicro;

namespace modules {

class CModuleHost;
struct CModuleEntry;

class XMicro final : public IMicro {
public:
    XMicro(CModuleHost& host, CExtMicro& micro);

    // IMicro
    int Play() override;
    int Stop() override;
    int Pause() override;
    const WAVEFORMATEX* GetFormat() override;
    int SetFormat(const WAVEFORMATEX* format) override;
    std::uint32_t GetBufferCount() override;
    int SetBufferCount(std::uint32_t count) override;
    std::uint32_t GetBufferSize() override;
    int SetBufferSize(std::uint32_t bytes) override;
    int SetCaptureCallback(CaptureCallback callback, void* user) override;
    const char* GetMicroOwner() override;
    int AcquireMicro(const char* moduleName) override;
    int ReleaseMicro(const char* moduleName) override;
    int EnableRecordControl(const char* moduleName, int enable) override;
    std::uint32_t GetState() override;

    // --- the frame's side ---
    // PLAYER_RECORD was pressed: the command goes unchanged to the shown
    // module's window. False when no module is shown.
    bool OnRecordCommand();
    // PLAYER_RECORD is enabled when the microphone's owner, or with no
    // owner the shown module, asked for it (also the Record menu item's
    // rule).
    bool IsRecordControlEnabled();
    void UpdateRecordControl();
    // Window thread, now and then: a recording whose device stopped working
    // (the recorder failed on its own thread) is told in the status line,
    // once per failure.
    void ReportLostDevice();
    // Stops the recorder and detaches the callback, while the module code
    // it points into is still loaded.
    void DetachSource();

    CExtMicro& Engine() { return m_micro; }

private:
    CModuleEntry* Owner();
    void SendToModule(CModuleEntry& entry, unsigned message);

    CModuleHost& m_host;
    CExtMicro& m_micro;
    bool m_lossReported = false;
};

} // namespace modules
