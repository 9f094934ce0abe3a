#include "modules/HostInterfaces.h"

#include "modules/ModuleHost.h"
#include "platform/Paths.h"

#include <new>

namespace modules {

// --- XApplication ---

XApplication::XApplication(CModuleHost& host)
    : m_host(host), m_appPath(platform::ProgramDirectory()) {}

int XApplication::SetParam(const char* owner, const char* key, const char* value) {
    if (!owner || !key || !value) return 0;
    return m_host.Site().SetParam(owner, key, value) ? 1 : 0;
}

int XApplication::GetParam(const char* owner, const char* key, char* buffer, unsigned size) {
    if (!owner || !key || !buffer || size == 0) return 0;
    return m_host.Site().GetParam(owner, key, buffer, size) ? 1 : 0;
}

int XApplication::RefreshModuleMenu(const char* moduleName) {
    return m_host.RefreshModuleMenu(moduleName) ? 1 : 0;
}

int XApplication::ShowMessage(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d,
                              std::intptr_t e) {
    return m_host.Site().ShowMessageBox(a, b, c, d, e);
}

int XApplication::ShowHelp() {
    m_host.Site().OpenUrl(platform::JoinPath(m_appPath, "Help/index.html"));
    return 1;
}

int XApplication::DeleteParam(const char* owner, const char* key) {
    if (!owner || !key) return 0;
    return m_host.Site().DeleteParam(owner, key) ? 1 : 0;
}

int XApplication::Reserved(std::uint32_t, std::uint32_t, std::uint32_t) {
    std::lock_guard<std::mutex> guard(m_lock);
    return 1;
}

const char* XApplication::GetActiveModuleName() {
    CModuleEntry* active = m_host.GetActiveModule();
    return active ? active->Name.c_str() : nullptr;
}

int XApplication::ActivateModuleByName(const char* name) {
    return m_host.ActivateModuleByName(name) ? 1 : 0;
}

void XApplication::SetStatusText(const char* text) {
    std::lock_guard<std::mutex> guard(m_statusLock);
    m_host.Site().SetStatusText(text ? text : "");
}

void XApplication::ShowStatusMessage(const char* text, unsigned milliseconds) {
    if (!text) return;
    std::lock_guard<std::mutex> guard(m_statusMessageLock);
    m_host.Site().ShowStatusMessage(text, milliseconds);
}

const std::vector<std::string>* XApplication::SelectLibraryFiles() {
    m_files.clear();
    m_files = m_host.Site().RunLibraryDialog();
    return &m_files;
}

// --- XModuleCom ---

std::int32_t XModuleCom::SendModuleMessage(const char* recipient, const char* sender,
                                           const char* message) {
    return m_host.SendModuleMessage(recipient, sender, message);
}

const _MODULE_INFO_* XModuleCom::FindModuleInfo(const char* moduleName) {
    CModuleEntry* e = m_host.FindModule(moduleName);
    return e ? &e->Info : nullptr;
}

// --- XQueryInterface ---

IApplication* XQueryInterface::GetApplication() {
    return &m_host.Application();
}
IPlayer* XQueryInterface::GetPlayer() {
    return &m_host.Player();
}
IMicro* XQueryInterface::GetMicro() {
    return &m_host.Micro();
}
IModuleCom* XQueryInterface::GetModuleCom() {
    return &m_host.ModuleCom();
}
ISkin* XQueryInterface::GetSkin() {
    return m_host.Site().Skin();
}

wchar_t* XQueryInterface::GetCurrentSkinName() {
    return NewWideString(m_host.Site().CurrentSkinName());
}

IEffectManager* XQueryInterface::GetEffectManager() {
    return m_host.Site().EffectManager();
}

wchar_t* NewWideString(const std::string& utf8) {
    std::u32string code;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        char32_t c = extra == 0   ? b
                     : extra == 1 ? (b & 0x1F)
                     : extra == 2 ? (b & 0x0F)
                                  : (b & 0x07);
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto n = static_cast<unsigned char>(utf8[i + k]);
            if ((n & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (n & 0x3F);
        }
        if (!ok || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            code.push_back(0xFFFD);
            ++i;
            continue;
        }
        code.push_back(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    std::wstring wide;
    for (char32_t c : code) {
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                c -= 0x10000;
                wide.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
                wide.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
                continue;
            }
        }
        wide.push_back(static_cast<wchar_t>(c));
    }
    auto* out = new (std::nothrow) wchar_t[wide.size() + 1];
    if (!out) return nullptr;
    std::copy(wide.begin(), wide.end(), out);
    out[wide.size()] = L'\0';
    return out;
}

} // namespace modules
