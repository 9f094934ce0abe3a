#include "modules/ModuleHost.h"

#include "audio/ExtMicro.h"
#include "audio/ExtPlayer.h"
#include "libs/ledgerline/Ledgerline.h"
#include "platform/AsciiCase.h"
#include "platform/Paths.h"
#include "sonvara/MenuTree.h"
#include "sonvara/Messages.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace modules {

namespace {

constexpr const char* kProductName = "Sonvara";

bool SameName(const std::string& a, const char* b) {
    return b && platform::EqualNoCase(a, b);
}

} // namespace

CModuleHost::CModuleHost(IModuleHostSite& site, CExtPlayer& player, CExtMicro* micro)
    : m_site(site), m_ownMicro(micro ? nullptr : std::make_unique<CExtMicro>()),
      m_player(*this, player), m_application(*this), m_moduleCom(*this),
      m_micro(*this, micro ? *micro : *m_ownMicro), m_query(*this) {
    // The debug manager exists before the first line is written.
    enLedgerline();
}

CModuleHost::~CModuleHost() {
    ReleaseModules();
}

void CModuleHost::Log(const char* format, const std::string& argument) {
    char line[1200];
    std::snprintf(line, sizeof line, format, argument.c_str());
    if (m_log)
        m_log(line);
    else
        enLedgerline()->WriteLogMessage("MainFrame", "%s", line);
}

std::string CModuleHost::DefaultModulesFolder() {
    return platform::JoinPath(platform::ProgramDirectory(), "Modules");
}

void CModuleHost::LoadModules(const std::string& modulesFolder) {
    Log("Starting load modules...");
    const std::string folder = modulesFolder.empty() ? DefaultModulesFolder() : modulesFolder;
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const auto& path = it->path();
        if (path.extension() == ".so" && !it->is_directory(ec))
            files.push_back(std::filesystem::absolute(path).string());
    }
    // Directory order differs between file systems; name order makes the
    // load order (and with it the table before a skin sorts it) repeatable.
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
        LoadOne(file);
    Log("Finished load modules...");
}

void CModuleHost::LoadOne(const std::string& path) {
    auto entry = std::make_unique<CModuleEntry>();
    entry->Path = path;
    if (!entry->Library.Load(path)) {
        Log("Failed to load library %s.", path);
        return;
    }
    Log("Loaded library %s successfully.", path);
    auto& lib = entry->Library;
    entry->KelInitialize = lib.Function<KelInitializeFn>("KelInitialize");
    entry->KelGetMenu = lib.Function<KelGetMenuFn>("KelGetMenu");
    entry->KelGetAccelTable = lib.Function<KelGetAccelTableFn>("KelGetAccelTable");
    entry->KelChangeState = lib.Function<KelChangeStateFn>("KelChangeState");
    entry->KelFree = lib.Function<KelFreeFn>("KelFree");
    entry->KelLoadSkin = lib.Function<KelLoadSkinFn>("KelLoadSkin");
    entry->KelPassMessage = lib.Function<KelPassMessageFn>("KelPassMessage");
    entry->KelFilterDllMsg = lib.Function<KelFilterDllMsgFn>("KelFilterDllMsg");
    entry->KelProcessDllIdle = lib.Function<KelProcessDllIdleFn>("KelProcessDllIdle");
    entry->KelOnCmdMsg = lib.Function<KelOnCmdMsgFn>("KelOnCmdMsg");
    if (!entry->KelInitialize || !entry->KelGetMenu || !entry->KelChangeState ||
        !entry->KelLoadSkin) {
        lib.Unload();
        Log("Failed to attach library %s.", path);
        return;
    }
    auto getInfo = lib.Function<KelGetModuleInfoFn>("KelGetModuleInfo");
    if (!getInfo) {
        lib.Unload();
        Log("Failed to attach library %s.", path);
        return;
    }
    entry->Info = _MODULE_INFO_{};
    entry->Info.Size = sizeof(_MODULE_INFO_);
    getInfo(nullptr, &entry->Info);
    // A module that changed Size was built for another record layout: its
    // Name pointer cannot be trusted.
    if (entry->Info.Size != sizeof(_MODULE_INFO_) || !entry->Info.Name ||
        entry->Info.Name[0] == '\0') {
        lib.Unload();
        Log("Failed to attach library %s.", path);
        return;
    }
    entry->Name = entry->Info.Name;
    if (entry->Name == sonvara::kCloseVetoModuleName)
        entry->KelTryClose = lib.Function<KelTryCloseFn>("KelTryClose");
    m_site.SetSplashText("Loading Module: " + entry->Name);
    entry->StateFileName = std::filesystem::path(path).stem().string() + ".mvm";

    // In the table while KelInitialize runs, so the module may already
    // address itself (or earlier modules) on the bus.
    CModuleEntry* raw = entry.get();
    m_table.push_back(std::move(entry));
    char buffer[sonvara::kInitializeBufferSize] = {};
    QWidget* window =
        raw->KelInitialize(m_site.ModuleClientArea(), buffer, sizeof buffer, &m_query);
    if (!window) {
        const std::string name = raw->Name;
        // It may have taken the player or handed it a callback while
        // initialising; nothing plays yet at start-up, so detaching the
        // source costs nothing and keeps the player off unloaded code.
        if (raw->playerOwner) m_player.ReleasePlayer(name.c_str());
        if (raw->microOwner) m_micro.ReleaseMicro(name.c_str());
        DetachPlayerSource();
        m_micro.DetachSource();
        auto it = std::find_if(m_table.begin(), m_table.end(),
                               [raw](const auto& e) { return e.get() == raw; });
        std::unique_ptr<CModuleEntry> failed = std::move(*it);
        m_table.erase(it);
        failed->Library.Unload();
        Log("Failed to attach module %s.", name);
        return;
    }
    raw->Window = window;
    raw->Accelerators = raw->KelGetAccelTable ? raw->KelGetAccelTable(window) : nullptr;
    raw->Active = 0;
    Log("Attached module %s successfully.", raw->Name);
}

std::vector<std::string> CModuleHost::DisplayNames() const {
    std::vector<std::string> names;
    for (const auto& e : m_table)
        names.push_back(e->Name);
    return names;
}

CModuleEntry* CModuleHost::FindModule(const char* name) {
    for (auto& e : m_table)
        if (SameName(e->Name, name)) return e.get();
    return nullptr;
}

int CModuleHost::FindModuleExact(const char* name) const {
    if (!name) return -1;
    for (std::size_t i = 0; i < m_table.size(); ++i)
        if (m_table[i]->Name == name) return static_cast<int>(i);
    return -1;
}

CModuleEntry* CModuleHost::GetActiveModule() {
    for (auto& e : m_table)
        if (e->Active) return e.get();
    return nullptr;
}

void CModuleHost::ActivateModule(int index) {
    CModuleEntry* chosen = nullptr;
    if (index >= 0 && static_cast<std::size_t>(index) < m_table.size()) {
        CModuleEntry& e = *m_table[index];
        chosen = &e;
        e.KelLoadSkin(e.Window, 0);
        e.KelChangeState(e.Window, 1);
        m_site.ShowModuleWindow(e.Window, true);
        char title[600];
        std::snprintf(title, sizeof title, "%s : %s", kProductName, e.Name.c_str());
        m_site.SetFrameTitle(title);
        e.Active = 1;
        if (e.Button) m_site.SetModuleButtonChecked(e.Button, true);
    }
    for (auto& other : m_table) {
        if (other.get() == chosen || !other->Active) continue;
        m_site.ShowModuleWindow(other->Window, false);
        other->KelChangeState(other->Window, 0);
        other->Active = 0;
        if (other->Button) m_site.SetModuleButtonChecked(other->Button, false);
    }
    AfterActivationChange();
}

void CModuleHost::AfterActivationChange() {
    m_site.RebuildFrameMenu();
    CModuleEntry* active = GetActiveModule();
    m_merged = MergeAccelerators(active ? active->Accelerators : nullptr, m_hostAccelerators);
    m_site.SetFrameAccelerators(m_merged);
    m_site.RecalcLayout();
    m_site.RedrawMenuBar();
    m_player.UpdateControlStates();
    m_micro.UpdateRecordControl();
    m_site.RefreshControlStates();
}

bool CModuleHost::ActivateModuleByName(const char* name) {
    const int index = FindModuleExact(name);
    if (index < 0) return false;
    ActivateModule(index);
    return true;
}

void CModuleHost::SetHostAccelerators(SvAcceleratorList accelerators) {
    m_hostAccelerators = std::move(accelerators);
    CModuleEntry* active = GetActiveModule();
    m_merged = MergeAccelerators(active ? active->Accelerators : nullptr, m_hostAccelerators);
}

bool CModuleHost::RouteCommand(unsigned commandId, int code) {
    CModuleEntry* active = GetActiveModule();
    if (!active || !active->KelOnCmdMsg) return false;
    return active->KelOnCmdMsg(active->Window, commandId, code, nullptr, nullptr) != 0;
}

bool CModuleHost::OnModuleCommand(unsigned commandId) {
    if (commandId < sonvara::ID_MODULE_FIRST || commandId > sonvara::ID_MODULE_LAST) return false;
    ActivateModule(static_cast<int>(commandId - sonvara::ID_MODULE_FIRST));
    return true;
}

void CModuleHost::OnIdle() {
    CModuleEntry* active = GetActiveModule();
    if (active && active->KelProcessDllIdle) active->KelProcessDllIdle();
}

void CModuleHost::RefreshModuleMenus() {
    for (auto& e : m_table)
        e->Menu = e->KelGetMenu(e->Window);
}

bool CModuleHost::RefreshModuleMenu(const char* name) {
    CModuleEntry* e = FindModule(name);
    if (!e) return false;
    e->Menu = e->KelGetMenu(e->Window);
    if (e->Active) m_site.RebuildFrameMenu();
    return true;
}

SvMenuTree CModuleHost::GoToMenu() const {
    SvMenuTree menu;
    for (std::size_t i = 0; i < m_table.size(); ++i)
        menu.AddCommand(m_table[i]->Name, sonvara::ID_MODULE_FIRST + static_cast<unsigned>(i),
                        m_table[i]->Active ? std::uint32_t{SvMenuItem::Checked} : 0u);
    return menu;
}

std::vector<int> CModuleHost::ApplySkinOrder(const std::vector<std::string>& skinNames) {
    for (auto& e : m_table)
        e->ButtonIndex = 0xFFFF;
    std::vector<CModuleEntry*> named(skinNames.size(), nullptr);
    for (std::size_t s = 0; s < skinNames.size(); ++s) {
        CModuleEntry* e = FindModule(skinNames[s].c_str());
        named[s] = e;
        if (e && e->ButtonIndex == 0xFFFF) e->ButtonIndex = static_cast<std::uint32_t>(s);
    }
    std::stable_sort(m_table.begin(), m_table.end(),
                     [](const auto& a, const auto& b) { return a->ButtonIndex < b->ButtonIndex; });
    std::vector<int> ids;
    for (CModuleEntry* e : named) {
        int id = -1;
        for (std::size_t i = 0; e && i < m_table.size(); ++i)
            if (m_table[i].get() == e) id = static_cast<int>(sonvara::ID_MODULE_FIRST + i);
        ids.push_back(id);
    }
    return ids;
}

void CModuleHost::SetModuleButton(std::size_t index, QWidget* button) {
    if (index < m_table.size()) m_table[index]->Button = button;
}

void CModuleHost::NotifySkinChanged() {
    if (CModuleEntry* active = GetActiveModule()) active->KelLoadSkin(active->Window, 0);
}

void CModuleHost::DetachPlayerSource() {
    m_player.Engine().Stop(CExtPlayer::kStopRequested);
    m_player.Engine().SetStreamCallback(nullptr, nullptr);
}

bool CModuleHost::AllowClose() {
    for (auto& e : m_table)
        if (e->Name == sonvara::kCloseVetoModuleName && e->KelTryClose)
            return e->KelTryClose() != 0;
    return true;
}

void CModuleHost::ReleaseModules() {
    // The player may still hold a module's stream callback: stop it and let
    // the callback hear of its detachment while its code is still loaded.
    if (!m_table.empty()) {
        DetachPlayerSource();
        m_micro.DetachSource();
    }
    while (!m_table.empty()) {
        // The window goes while its module is still in the table: a window
        // that keeps its settings as it closes must still own its section.
        if (QWidget* window = m_table.front()->Window) {
            m_site.DestroyModuleWindow(window);
            m_table.front()->Window = nullptr;
        }
        std::unique_ptr<CModuleEntry> e = std::move(m_table.front());
        m_table.erase(m_table.begin());
        e->Library.Unload();
    }
}

std::int32_t CModuleHost::SendModuleMessage(const char* recipient, const char* sender,
                                            const char* message) {
    const std::string to = recipient ? recipient : "";
    const std::string from = sender ? sender : "";
    const std::string text = message ? message : "";
    _MESSAGE_QUERY_ITEM_ item;
    item.Time = static_cast<std::int64_t>(std::time(nullptr));
    item.Recipient = to;
    item.Sender = from;
    item.Message = text;
    const std::size_t index = m_history.Append(std::move(item));

    CModuleEntry* target = nullptr;
    CModuleEntry* source = nullptr;
    // The whole table: with duplicate names the last match wins.
    for (auto& e : m_table) {
        if (e->Name.empty()) continue;
        if (SameName(e->Name, to.c_str())) target = e.get();
        if (SameName(e->Name, from.c_str())) source = e.get();
    }
    const bool toAll = platform::EqualNoCase(to, sonvara::kAllModulesName);
    const bool toHost = platform::EqualNoCase(to, sonvara::kHostPartyName);
    const bool fromHost = platform::EqualNoCase(from, sonvara::kHostPartyName);

    std::int32_t result;
    if (!target && !toAll && !toHost) {
        result = MESSAGE_RECIPIER_NOT_FOUND;
    } else if (!source && !fromHost) {
        result = MESSAGE_SENDER_NOT_FOUND;
    } else if (target) {
        result = target->KelPassMessage &&
                         target->KelPassMessage(target->Window, from.c_str(), text.c_str())
                     ? MESSAGE_OK
                     : MESSAGE_RECIPIER_ERROR;
    } else if (toAll) {
        // A broadcast: every module but the sender gets it; accepted when
        // at least one module accepted it.
        result = MESSAGE_RECIPIER_ERROR;
        const std::size_t count = m_table.size();
        for (std::size_t i = 0; i < count && i < m_table.size(); ++i) {
            CModuleEntry& e = *m_table[i];
            if (&e == source || !e.KelPassMessage) continue;
            if (e.KelPassMessage(e.Window, from.c_str(), text.c_str())) result = MESSAGE_OK;
        }
    } else {
        result = m_site.HandleHostMessage(from, text) ? MESSAGE_OK : MESSAGE_RECIPIER_ERROR;
    }
    m_history.SetResult(index, result);
    return result;
}

void CModuleHost::WriteMessageLog(const std::string& path) const {
    m_history.WriteLog(path.empty() ? CMessageHistory::DefaultLogPath() : path);
}

} // namespace modules
