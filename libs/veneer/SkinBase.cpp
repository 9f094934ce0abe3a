#include "libs/veneer/SkinBase.h"

#include <QWidget>
#include <algorithm>
#include <map>
#include <vector>

namespace veneer {

namespace {
StatusTextSink g_sink = nullptr;
void* g_sinkContext = nullptr;
lacquer::ISWQuery* g_query = nullptr;

std::map<int, std::vector<CSkinBase*>>& Groups() {
    static std::map<int, std::vector<CSkinBase*>> groups;
    return groups;
}
int g_nextGroup = 1;

// The state block of SaveControlState: one layout for every control, so
// LoadControlState on a control of another kind takes what fits.
struct SControlState {
    bool hasChecked = false;
    bool checked = false;
    bool hasRange = false;
    int minimum = 0;
    int maximum = 0;
    int value = 0;
    bool hasText = false;
    QString text;
};
} // namespace

std::vector<CSkinBase*> GroupMembers(int group) {
    auto it = Groups().find(group);
    return it == Groups().end() ? std::vector<CSkinBase*>() : it->second;
}

CSkinBase::~CSkinBase() {
    if (m_group >= 0) {
        auto it = Groups().find(m_group);
        if (it != Groups().end()) std::erase(it->second, this);
    }
}

bool CSkinBase::UseWindowsInterface() {
    m_custom = false;
    UpdateResources();
    return true;
}

bool CSkinBase::UseCustomSkin(const _UNKNOWN_RESOURCES_* resources) {
    if (!resources) return false;
    if (!TakeResources(resources)) return false;
    m_custom = true;
    UpdateResources();
    return true;
}

bool CSkinBase::GetSkinParams(_UNKNOWN_PARAMS_* params) const {
    if (!params) return false;
    params->size = sizeof(_UNKNOWN_PARAMS_);
    return true;
}

bool CSkinBase::SetSkinParams(const _UNKNOWN_PARAMS_* params) {
    return params != nullptr;
}

bool CSkinBase::SetSkinStyleEx(std::uint32_t style) {
    m_styleEx = style;
    UpdateResources();
    return true;
}

bool CSkinBase::SetTooltip(const std::string& tooltip, const std::string& statusText) {
    // Set again at every position tick: unchanged, it is left alone.
    if (tooltip == m_tooltip && statusText == m_statusText) return true;
    m_tooltip = tooltip;
    m_statusText = statusText;
    if (QWidget* w = GetWnd()) w->setToolTip(QString::fromStdString(tooltip));
    return true;
}

bool CSkinBase::SaveControlState(void** state) const {
    if (!state) return false;
    *state = new SControlState;
    return true;
}

bool CSkinBase::LoadControlState(const void* state) {
    return state != nullptr;
}

bool CSkinBase::FreeMemory(void* state) const {
    delete static_cast<SControlState*>(state);
    return true;
}

bool CSkinBase::GetSkinSize(SIZE* size) const {
    if (!size) return false;
    size->cx = 0;
    size->cy = 0;
    return true;
}

int CSkinBase::GetUniqueGroupID() {
    const int id = g_nextGroup++;
    Groups()[id];
    return id;
}

bool CSkinBase::RemoveGroup(int group) {
    auto it = Groups().find(group);
    if (it == Groups().end()) return false;
    for (CSkinBase* member : it->second)
        member->m_group = -1;
    Groups().erase(it);
    return true;
}

bool CSkinBase::AddToGroup(int group) {
    auto it = Groups().find(group);
    if (it == Groups().end()) return false;
    if (m_group == group) return true;
    if (m_group >= 0) {
        auto old = Groups().find(m_group);
        if (old != Groups().end()) std::erase(old->second, this);
    }
    it->second.push_back(this);
    m_group = group;
    return true;
}

bool CSkinBase::CheckInterface(std::uint32_t flags) const {
    (void)flags;
    return true;
}

void CSkinBase::UpdateResources() {
    if (QWidget* w = const_cast<CSkinBase*>(this)->GetWnd()) w->update();
}

void CSkinBase::ShowStatusText(bool entering) const {
    if (g_sink && !m_statusText.empty())
        g_sink(g_sinkContext, entering ? m_statusText : std::string());
}

void SetStatusTextSink(StatusTextSink sink, void* context) {
    g_sink = sink;
    g_sinkContext = context;
}

void SetSWQueryInterface(void* query) {
    g_query = static_cast<lacquer::ISWQuery*>(query);
}

lacquer::ISWQuery* SWQuery() {
    return g_query;
}

// State helpers for the controls (declared in StateBlock.h).
void* NewState() {
    return new SControlState;
}
void StateSetChecked(void* s, bool checked) {
    auto* st = static_cast<SControlState*>(s);
    st->hasChecked = true;
    st->checked = checked;
}
bool StateGetChecked(const void* s, bool* checked) {
    auto* st = static_cast<const SControlState*>(s);
    if (!st->hasChecked) return false;
    *checked = st->checked;
    return true;
}
void StateSetRange(void* s, int minimum, int maximum, int value) {
    auto* st = static_cast<SControlState*>(s);
    st->hasRange = true;
    st->minimum = minimum;
    st->maximum = maximum;
    st->value = value;
}
bool StateGetRange(const void* s, int* minimum, int* maximum, int* value) {
    auto* st = static_cast<const SControlState*>(s);
    if (!st->hasRange) return false;
    *minimum = st->minimum;
    *maximum = st->maximum;
    *value = st->value;
    return true;
}
void StateSetText(void* s, const QString& text) {
    auto* st = static_cast<SControlState*>(s);
    st->hasText = true;
    st->text = text;
}
bool StateGetText(const void* s, QString* text) {
    auto* st = static_cast<const SControlState*>(s);
    if (!st->hasText) return false;
    *text = st->text;
    return true;
}

} // namespace veneer
