#include "ui/registration/DefaultPlayer.h"

#include "platform/Registry.h"
#include "sonvara/Codexa.h"

#include <utility>

namespace ui {

namespace {

using namespace platform;

// Closes a registry key when it goes out of scope.
class CKey {
public:
    CKey() = default;
    ~CKey() {
        if (m_key) RegCloseKey(m_key);
    }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// The key's value as a string; nullopt when it is missing or not text.
// The registry layout reads earlier owners with a 260-byte buffer.
std::optional<std::string> ReadString(HKEY key, const char* name, DWORD limit = 260) {
    std::string buffer(limit, '\0');
    DWORD type = REG_NONE;
    DWORD size = limit;
    if (RegQueryValue(key, name, &type, buffer.data(), &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    buffer.resize(size > 0 ? size - 1 : 0);
    return buffer;
}

bool WriteString(HKEY key, const char* name, const std::string& value) {
    return RegSetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1)) ==
           ERROR_SUCCESS;
}

bool KeyDefaultEquals(const std::string& subKey, const std::string& expected) {
    CKey key;
    if (RegOpenKey(HKEY_CLASSES_ROOT, subKey.c_str(), key.Out()) != ERROR_SUCCESS) return false;
    const auto value = ReadString(key.Get(), nullptr, 4096);
    return value && *value == expected;
}

bool SetKeyDefault(const std::string& subKey, const std::string& value) {
    CKey key;
    return RegCreateKey(HKEY_CLASSES_ROOT, subKey.c_str(), key.Out()) == ERROR_SUCCESS &&
           WriteString(key.Get(), nullptr, value);
}

} // namespace

CDefaultPlayer::CDefaultPlayer(std::string programPath, ExtensionSource extensions,
                               CDesktopAssociation desktop)
    : m_programPath(std::move(programPath)), m_extensions(std::move(extensions)),
      m_desktop(std::move(desktop)) {}

std::optional<std::vector<std::string>> CDefaultPlayer::Extensions() const {
    if (!m_extensions) return std::nullopt;
    const auto filter = m_extensions();
    if (!filter) return std::nullopt;
    return SvParseExtensionFilter(filter->c_str());
}

bool CDefaultPlayer::IsRegisteredInStore() const {
    const std::string type = kFileType;
    if (!KeyDefaultEquals(type, kFileTypeName)) return false;
    if (!KeyDefaultEquals(type + "\\shell\\open\\command", OpenCommand())) return false;
    const auto extensions = Extensions();
    if (!extensions) return true; // nothing listed, nothing to disagree
    for (const auto& extension : *extensions)
        if (!KeyDefaultEquals(extension, type)) return false;
    return true;
}

bool CDefaultPlayer::IsDefaultPlayer() const {
    if (!IsRegisteredInStore()) return false;
    const auto extensions = Extensions();
    return m_desktop.IsDefault(m_programPath, extensions.value_or(std::vector<std::string>{}));
}

bool CDefaultPlayer::RegisterDefaultPlayer() const {
    const std::string type = kFileType;
    if (!SetKeyDefault(type, kFileTypeName)) return false;
    if (!SetKeyDefault(type + "\\DefaultIcon", m_programPath + ",0")) return false;
    if (!SetKeyDefault(type + "\\shell\\open\\command", OpenCommand())) return false;

    const auto extensions = Extensions();
    if (extensions) {
        for (const auto& extension : *extensions) {
            CKey key;
            if (RegCreateKey(HKEY_CLASSES_ROOT, extension.c_str(), key.Out()) != ERROR_SUCCESS)
                continue;
            const std::string before = ReadString(key.Get(), nullptr).value_or(std::string());
            if (!WriteString(key.Get(), nullptr, type)) continue;
            // Registering again must not make the program its own backup:
            // the owner from before the first registration stays kept.
            if (before != type) WriteString(key.Get(), kBackupValue, before);
        }
    }
    m_desktop.Register(m_programPath, extensions.value_or(std::vector<std::string>{}));
    return true;
}

bool CDefaultPlayer::UnregisterDefaultPlayer() const {
    const std::string type = kFileType;
    for (const char* sub : {"\\shell\\open\\command", "\\shell\\open", "\\shell", "\\DefaultIcon"})
        RegDeleteKey(HKEY_CLASSES_ROOT, (type + sub).c_str());
    RegDeleteKey(HKEY_CLASSES_ROOT, type.c_str());

    m_desktop.Unregister();
    const auto extensions = Extensions();
    if (!extensions) return true;
    for (const auto& extension : *extensions) {
        CKey key;
        if (RegOpenKey(HKEY_CLASSES_ROOT, extension.c_str(), key.Out()) != ERROR_SUCCESS) continue;
        WriteString(key.Get(), nullptr,
                    ReadString(key.Get(), kBackupValue).value_or(std::string()));
    }
    return true;
}

} // namespace ui
