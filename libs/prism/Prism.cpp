#include "libs/prism/Prism.h"

#include "libs/ledgerline/Ledgerline.h"
#include "libs/prism/PluginEffect.h"
#include "platform/Paths.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr const char* kLogSender = "Prism";

} // namespace

CSimpleEffect* CEffectInfo::CreateEffect() const {
    return m_factory ? m_factory(*this) : nullptr;
}

const CEffectInfo* CEffectInfoTable::Find(std::uint32_t id) const {
    for (const CEffectInfo& e : m_entries)
        if (e.GetID() == id) return &e;
    return nullptr;
}

CPrism::CPrism() = default;
CPrism::~CPrism() = default;

int CPrism::Initialize(const std::string& effectsFolder) {
    const std::string folder =
        effectsFolder.empty() ? platform::ProgramDirectory() + "Effects" : effectsFolder;
    if (m_initialized && folder == m_folder) return 0;
    // Another folder: its plug-ins replace the previous folder's. Effects
    // already made keep their libraries loaded until they are deleted.
    std::erase_if(m_table.m_entries, [](const CEffectInfo& e) { return e.FromPlugin(); });
    m_folder = folder;
    m_initialized = true;

    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".so") files.push_back(it->path().string());
    std::sort(files.begin(), files.end());
    const std::size_t before = m_table.GetSize();
    for (const std::string& file : files)
        LoadPlugin(file);
    return static_cast<int>(m_table.GetSize() - before);
}

void CPrism::LoadPlugin(const std::string& path) {
    std::string error;
    std::shared_ptr<prism::CEffectLibrary> library = prism::CEffectLibrary::Load(path, error);
    if (!library) {
        enLedgerline()->WriteLogMessageLevel(CLedgerline::Warning, kLogSender,
                                             "Effect %s skipped: %s", path.c_str(), error.c_str());
        return;
    }
    const int type = library->Flag() == 1 ? kEffectTypeVoiceMorphing : kEffectTypeSpecial;
    const std::uint32_t id = m_nextId++;
    m_table.m_entries.emplace_back(
        id, type, library->Name(), library->Vendor(),
        [library](const CEffectInfo& info) -> CSimpleEffect* {
            return prism::CPluginEffect::Create(library, info.GetID(), info.GetEffectType());
        },
        true);
    enLedgerline()->WriteLogMessage(
        kLogSender, "Effect %s (%s) loaded from %s.", library->Name().c_str(),
        type == kEffectTypeVoiceMorphing ? "voice morphing" : "special", path.c_str());
}

std::uint32_t CPrism::AddEffect(int type, std::string name, std::string vendor,
                                CEffectInfo::Factory factory) {
    const std::uint32_t id = m_nextId++;
    m_table.m_entries.emplace_back(id, type, std::move(name), std::move(vendor), std::move(factory),
                                   false);
    return id;
}

int CPrism::GetEffectCount() {
    return static_cast<int>(m_table.GetSize());
}

int CPrism::GetEffectDescription(int index, SvEffectDescription* description) {
    if (!description || index < 0 || static_cast<std::size_t>(index) >= m_table.GetSize()) return 0;
    const CEffectInfo& e = m_table[static_cast<std::size_t>(index)];
    description->identifier = e.GetID();
    description->type = e.GetEffectType();
    description->name = e.GetName();
    description->vendor = e.GetVendor();
    return 1;
}

CSimpleEffect* CPrism::CreateEffect(std::uint32_t identifier) {
    const CEffectInfo* e = m_table.Find(identifier);
    return e ? e->CreateEffect() : nullptr;
}

CPrism* enPrism() {
    static CPrism* prism = new CPrism;
    return prism;
}
