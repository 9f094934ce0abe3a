// The module host: discovery and loading of the module libraries, the module
// table and activation, command routing and idle time, the close veto and
// release, and the message bus between modules. It also owns the objects
// handed to modules (IQueryInterface and the interfaces it gives out).
//
// The main frame owns one CModuleHost for its whole life and implements
// IModuleHostSite for it. Everything runs on the window thread, except
// SendModuleMessage, which runs on the caller's thread (the table is only
// changed at load and at close, on the window thread, so it is read there
// without a lock).
#pragma once

#include "modules/HostInterfaces.h"
#include "modules/MessageHistory.h"
#include "modules/MicroInterface.h"
#include "modules/ModuleEntry.h"
#include "modules/ModuleHostSite.h"
#include "modules/PlayerInterface.h"
#include "sonvara/MenuTree.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CExtMicro;
class CExtPlayer;

namespace modules {

class CModuleHost {
public:
    // Writes one debug-log line; the default goes to Ledgerline as sender
    // "MainFrame".
    using LogSink = std::function<void(const std::string& line)>;

    // player: the host's one player; micro: its one recorder. Both must
    // outlive the host; without a recorder the host makes its own, on the
    // configured input device.
    CModuleHost(IModuleHostSite& site, CExtPlayer& player, CExtMicro* micro = nullptr);
    // Releases what is still loaded. The frame should have called
    // ReleaseModules in its close sequence already: release calls back into
    // the site, which must still be whole then.
    ~CModuleHost();
    CModuleHost(const CModuleHost&) = delete;
    CModuleHost& operator=(const CModuleHost&) = delete;

    void SetLogSink(LogSink sink) { m_log = std::move(sink); }

    // Loads every "*.so" of modulesFolder (absolute; by default the program
    // directory's Modules folder), in file-name order. Failures are logged
    // and skipped.
    void LoadModules(const std::string& modulesFolder = {});
    static std::string DefaultModulesFolder();

    // --- the table ---
    std::size_t Count() const { return m_table.size(); }
    CModuleEntry& Entry(std::size_t index) { return *m_table[index]; }
    const CModuleEntry& Entry(std::size_t index) const { return *m_table[index]; }
    // Display names in table order (MODULES_ORDER, the "Go to" list).
    std::vector<std::string> DisplayNames() const;
    // The first entry named so, letter case ignored; null when none.
    CModuleEntry* FindModule(const char* name);
    // The index of the first entry named exactly so; -1 when none.
    int FindModuleExact(const char* name) const;
    bool IsLoadedModule(const char* name) { return FindModule(name) != nullptr; }
    // The first active entry in table order; null when none.
    CModuleEntry* GetActiveModule();

    // --- activation ---
    // Makes the module at index active (it hears of it before the old one
    // hears of its deactivation); an index outside the table deactivates all.
    void ActivateModule(int index);
    bool ActivateModuleByName(const char* name);
    // The frame's own accelerators, merged behind the active module's.
    void SetHostAccelerators(SvAcceleratorList accelerators);
    const SvAcceleratorList& MergedAccelerators() const { return m_merged; }

    // --- commands and idle time ---
    // Offers a command to the active module's KelOnCmdMsg; true when it
    // handled it. The frame calls this before its own handling.
    bool RouteCommand(unsigned commandId, int code = 0);
    // "Go to" items and module buttons (236 + index): true when in range
    // (the module is then activated).
    bool OnModuleCommand(unsigned commandId);
    // The active module's KelProcessDllIdle, from the idle hook.
    void OnIdle();

    // --- menus and the skin's module order ---
    // Fetches every module's menu again (KelGetMenu).
    void RefreshModuleMenus();
    // RefreshModuleMenu of IApplication; false for an unknown name.
    bool RefreshModuleMenu(const char* name);
    // The "Go to" list: one item per module, id 236 + index, text = name.
    SvMenuTree GoToMenu() const;
    // Sorts the table stably into the order the skin's Modules element names
    // the modules (letter case ignored; unnamed modules keep their order
    // behind). Returns, per skin name in document order, the command id of
    // its button: 236 + the module's new index, or -1 when no module has the
    // name (that button is disabled). Sets each entry's ButtonIndex.
    std::vector<int> ApplySkinOrder(const std::vector<std::string>& skinNames);
    // The frame made the button for the module at index (or removed it: null).
    void SetModuleButton(std::size_t index, QWidget* button);
    // A skin change while a module is active: it reloads its skin.
    void NotifySkinChanged();

    // --- close ---
    // The "Quillon" module's KelTryClose; true when the close may go on.
    bool AllowClose();
    // Destroys every module window and unloads its library, in table order.
    void ReleaseModules();

    // --- the bus ---
    std::int32_t SendModuleMessage(const char* recipient, const char* sender, const char* message);
    const CMessageHistory& History() const { return m_history; }
    // Writes the history to path (default: CMessageHistory::DefaultLogPath()).
    void WriteMessageLog(const std::string& path = {}) const;

    // --- the interfaces handed to modules ---
    IQueryInterface* QueryInterface() { return &m_query; }
    XApplication& Application() { return m_application; }
    XModuleCom& ModuleCom() { return m_moduleCom; }
    XMicro& Micro() { return m_micro; }
    CPlayerInterface& Player() { return m_player; }
    IModuleHostSite& Site() { return m_site; }

private:
    void Log(const char* format, const std::string& argument = {});
    void LoadOne(const std::string& path);
    void AfterActivationChange();
    // Stops the player and drops its stream callback, before module code
    // that may own the callback is unloaded.
    void DetachPlayerSource();

    IModuleHostSite& m_site;
    std::unique_ptr<CExtMicro> m_ownMicro;
    std::vector<std::unique_ptr<CModuleEntry>> m_table;
    CMessageHistory m_history;
    SvAcceleratorList m_hostAccelerators;
    SvAcceleratorList m_merged;
    LogSink m_log;

    CPlayerInterface m_player;
    XApplication m_application;
    XModuleCom m_moduleCom;
    XMicro m_micro;
    XQueryInterface m_query;
};

} // namespace modules
