// Prism: the host's effect manager. Initialize scans the program's Effects
// folder for flat-export effect plug-ins (sonvara/EffectPlugin.h); each one
// that loads and identifies itself becomes an entry of the effect table,
// typed by the flag of its information record (kEffectTypeVoiceMorphing or
// kEffectTypeSpecial). Effects the host ships in its own code join the table
// through AddEffect. A plug-in that fails to load or to identify itself is
// logged (Ledgerline, sender "Prism") and skipped.
//
// Who calls what: the main frame calls enPrism()->Initialize once while it
// is constructed, and walks GetEffectTable to build its effect submenus;
// modules reach the same object as IEffectManager (IQueryInterface). Window
// thread only; an effect object may then be driven on an audio thread.
#pragma once

#include "sonvara/EffectManager.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace prism {
class CEffectLibrary;
}

// One entry of the table: what the effect is and how to make it.
class CEffectInfo {
public:
    // Makes a new effect for this entry, or null.
    using Factory = std::function<CSimpleEffect*(const CEffectInfo& info)>;

    CEffectInfo(std::uint32_t id, int type, std::string name, std::string vendor, Factory factory,
                bool fromPlugin = false)
        : m_id(id), m_type(type), m_name(std::move(name)), m_vendor(std::move(vendor)),
          m_factory(std::move(factory)), m_fromPlugin(fromPlugin) {}

    std::uint32_t GetID() const { return m_id; }
    int GetEffectType() const { return m_type; }
    const std::string& GetName() const { return m_name; }
    const std::string& GetVendor() const { return m_vendor; }
    // A new effect owned by the caller, or null when it cannot be made.
    CSimpleEffect* CreateEffect() const;
    // Found in the Effects folder (rather than added by the host).
    bool FromPlugin() const { return m_fromPlugin; }

private:
    std::uint32_t m_id;
    int m_type;
    std::string m_name;
    std::string m_vendor;
    Factory m_factory;
    bool m_fromPlugin = false;
};

// The entries in order of arrival (the menus' order), a contiguous array.
class CEffectInfoTable {
public:
    std::size_t GetSize() const { return m_entries.size(); }
    const CEffectInfo* GetData() const { return m_entries.data(); }
    const CEffectInfo& operator[](std::size_t i) const { return m_entries[i]; }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }
    const CEffectInfo* Find(std::uint32_t id) const;

private:
    friend class CPrism;
    std::vector<CEffectInfo> m_entries;
};

class CPrism final : public IEffectManager {
public:
    CPrism();
    ~CPrism();
    CPrism(const CPrism&) = delete;
    CPrism& operator=(const CPrism&) = delete;

    // Adds the "*.so" files of effectsFolder (absolute; by default the
    // program directory's Effects folder) to the table in file-name order.
    // A second call with the same folder changes nothing; another folder's
    // plug-ins replace the previous folder's. Returns the number taken.
    int Initialize(const std::string& effectsFolder = {});
    const CEffectInfoTable& GetEffectTable() const { return m_table; }

    // An effect of the host's own; its identifier is returned. Identifiers
    // are given in order of arrival and never reused.
    std::uint32_t AddEffect(int type, std::string name, std::string vendor,
                            CEffectInfo::Factory factory);

    // IEffectManager
    int GetEffectCount() override;
    int GetEffectDescription(int index, SvEffectDescription* description) override;
    CSimpleEffect* CreateEffect(std::uint32_t identifier) override;

private:
    void LoadPlugin(const std::string& path);

    CEffectInfoTable m_table;
    std::string m_folder;
    bool m_initialized = false;
    std::uint32_t m_nextId = 0;
};

// The process-wide manager, created on first use and never destroyed.
CPrism* enPrism();
