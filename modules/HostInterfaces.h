// The host's implementations of the interfaces a module gets: the query
// interface, the application and module messaging (the player's and the
// microphone's are in PlayerInterface.h and MicroInterface.h). They are
// members of CModuleHost and live exactly as long as it.
#pragma once

#include "sonvara/IApplication.h"
#include "sonvara/IModuleCom.h"
#include "sonvara/IQueryInterface.h"

#include <mutex>
#include <string>
#include <vector>

namespace modules {

class CModuleHost;

class XApplication final : public IApplication {
public:
    explicit XApplication(CModuleHost& host);
    int SetParam(const char* owner, const char* key, const char* value) override;
    int GetParam(const char* owner, const char* key, char* buffer, unsigned size) override;
    int RefreshModuleMenu(const char* moduleName) override;
    const char* GetAppPath() override { return m_appPath.c_str(); }
    int ShowMessage(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d,
                    std::intptr_t e) override;
    // Opens Help/index.html of the program directory.
    int ShowHelp() override;
    int DeleteParam(const char* owner, const char* key) override;
    int Reserved(std::uint32_t a, std::uint32_t b, std::uint32_t c) override;
    const char* GetActiveModuleName() override;
    int ActivateModuleByName(const char* name) override;
    void SetStatusText(const char* text) override;
    void ShowStatusMessage(const char* text, unsigned milliseconds) override;
    const std::vector<std::string>* SelectLibraryFiles() override;

private:
    CModuleHost& m_host;
    std::mutex m_lock;
    std::mutex m_statusLock;
    std::mutex m_statusMessageLock;
    std::string m_appPath;
    std::vector<std::string> m_files;
};

class XModuleCom final : public IModuleCom {
public:
    explicit XModuleCom(CModuleHost& host) : m_host(host) {}
    std::int32_t SendModuleMessage(const char* recipient, const char* sender,
                                   const char* message) override;
    const _MODULE_INFO_* FindModuleInfo(const char* moduleName) override;

private:
    CModuleHost& m_host;
};

class XQueryInterface final : public IQueryInterface {
public:
    explicit XQueryInterface(CModuleHost& host) : m_host(host) {}
    std::uint32_t GetVersion() override { return sonvara::kHostVersion; }
    IApplication* GetApplication() override;
    IPlayer* GetPlayer() override;
    IMicro* GetMicro() override;
    IModuleCom* GetModuleCom() override;
    ISkin* GetSkin() override;
    wchar_t* GetCurrentSkinName() override;
    IEffectManager* GetEffectManager() override;

private:
    CModuleHost& m_host;
};

// UTF-8 to a new wide string (caller frees with SvFreeString); invalid bytes
// become U+FFFD.
wchar_t* NewWideString(const std::string& utf8);

} // namespace modules
