// Plugs the module host into the shell's hooks for later subsystems: the
// start-up and the main frame already call these at the right places
// (loading at creation, activation of module 0, idle time, command routing,
// the close veto, the message log, release), so they only need forwarding.
// Other subsystems derive from this class in turn and fill their own hooks.
//
// The host is made by the frame (it needs the frame as its site), after
// this object exists: until SetHost is called every hook keeps the shell's
// default. Window thread, except SendModuleMessage (any thread).
#pragma once

#include "modules/ModuleHost.h"
#include "shell/LaterSubsystems.h"
#include "sonvara/Messages.h"

namespace modules {

class CModuleHostBridge : public shell::CLaterSubsystems {
public:
    void SetHost(CModuleHost* host) { m_host = host; }
    CModuleHost* Host() const { return m_host; }

    // Until the module-choice dialog exists, files from the command line go
    // to the AutoOpen module as if AutoOpen_AskMe were "No".
    int ChooseModuleForFiles() override { return 1; }

    void LoadModules() override {
        if (m_host) m_host->LoadModules();
    }
    std::vector<std::string> ModuleDisplayNames() override {
        return m_host ? m_host->DisplayNames() : std::vector<std::string>{};
    }
    bool IsLoadedModule(const std::string& name) override {
        return m_host && m_host->IsLoadedModule(name.c_str());
    }
    void ActivateModule(int index) override {
        if (m_host) m_host->ActivateModule(index);
    }
    bool ActivateModuleByName(const std::string& name) override {
        return m_host && m_host->ActivateModuleByName(name.c_str());
    }
    int SendModuleMessage(const std::string& recipient, const std::string& sender,
                          const std::string& text) override {
        if (!m_host) return shell::CLaterSubsystems::SendModuleMessage(recipient, sender, text);
        return m_host->SendModuleMessage(recipient.c_str(), sender.c_str(), text.c_str());
    }
    bool ModulesAllowClose() override { return !m_host || m_host->AllowClose(); }
    void WriteMessageHistoryLog() override {
        if (m_host) m_host->WriteMessageLog();
    }
    void ReleaseModules() override {
        if (m_host) m_host->ReleaseModules();
    }
    void ModuleIdle() override {
        if (m_host) m_host->OnIdle();
    }
    // "Go to" items and module buttons. The frame has already offered the
    // command to the active module's routing (CModuleHost::RouteCommand)
    // before its own handling, so it is not offered a second time here.
    bool RouteCommandToModule(unsigned id) override {
        return m_host && m_host->OnModuleCommand(id);
    }
    // The transport buttons; shuffle, repeat and the equalizer buttons need
    // the frame's controls and stay with the frame's own subsystem.
    bool HandlePlayerCommand(unsigned id) override {
        return m_host && m_host->Player().OnTransportCommand(id);
    }

private:
    CModuleHost* m_host = nullptr;
};

} // namespace modules
