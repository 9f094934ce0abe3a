#include "plugin/TypedValues.h"

#include "platform/AtomicFile.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "xml/XmlNode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace stavo {

namespace {

enum class Type { Integer, Float, Double, String, Bytes, Unknown };

Type TypeOf(const std::string& name) {
    const char* n = name.c_str();
    if (!strcasecmp(n, "UINT") || !strcasecmp(n, "DWORD") || !strcasecmp(n, "INT"))
        return Type::Integer;
    if (!strcasecmp(n, "FLOAT")) return Type::Float;
    if (!strcasecmp(n, "DOUBLE")) return Type::Double;
    if (!strcasecmp(n, "STRING")) return Type::String;
    if (!strcasecmp(n, "LSS")) return Type::Bytes;
    return Type::Unknown;
}

// The type names in order; the list is limited to 1023 characters.
std::vector<Type> ParseTypes(const char* types) {
    std::vector<Type> result;
    if (!types) return result;
    const std::string list(types, strnlen(types, 1023));
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(' ', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) result.push_back(TypeOf(list.substr(start, end - start)));
        start = end + 1;
    }
    return result;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string FormatLong(long double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%Lg", value);
    return text;
}

// A whole INI value, however long.
std::string ReadIniText(const char* section, const char* key, const std::string& def,
                        const char* file) {
    std::vector<char> buffer(256);
    for (;;) {
        const auto size = static_cast<platform::DWORD>(buffer.size());
        const platform::DWORD got =
            platform::GetPrivateProfileString(section, key, def.c_str(), buffer.data(), size, file);
        if (got + 1 < size || buffer.size() >= (1u << 24)) return std::string(buffer.data(), got);
        buffer.resize(buffer.size() * 2);
    }
}

void ReadIni(const ValueStore& store, const char* key, Type type, void* value) {
    const char* file = store.iniFile;
    const char* section = store.section;
    switch (type) {
    case Type::Integer: {
        auto* v = static_cast<std::int32_t*>(value);
        *v = static_cast<std::int32_t>(platform::GetPrivateProfileInt(section, key, *v, file));
        break;
    }
    case Type::Float: {
        auto* v = static_cast<float*>(value);
        *v = static_cast<float>(
            std::atof(ReadIniText(section, key, Format("%g", *v), file).c_str()));
        break;
    }
    case Type::Double: {
        auto* v = static_cast<double*>(value);
        *v = std::atof(ReadIniText(section, key, FormatLong(*v), file).c_str());
        break;
    }
    case Type::String: {
        auto* v = static_cast<std::string*>(value);
        *v = ReadIniText(section, key, *v, file);
        break;
    }
    case Type::Bytes: {
        auto* v = static_cast<TypedBytes*>(value);
        const std::string sizeKey = std::string("SIZE_LSS_") + key;
        const std::string dataKey = std::string("DATA_LSS_") + key;
        const std::string sizeText = ReadIniText(section, sizeKey.c_str(), "", file);
        if (sizeText.empty()) break;
        const auto size = static_cast<std::uint32_t>(
            platform::GetPrivateProfileInt(section, sizeKey.c_str(), 0, file));
        void* data = std::malloc(size ? size : 1);
        if (!data) break;
        if (platform::GetPrivateProfileStruct(section, dataKey.c_str(), data, size, file)) {
            v->size = size;
            v->data = data;
        } else {
            std::free(data);
        }
        break;
    }
    case Type::Unknown:
        break;
    }
}

// The INI entries that store one value: key=text, or for LSS data its size
// and its checksummed hex.
void IniEntries(const char* key, Type type, const void* value,
                std::vector<std::pair<std::string, std::string>>& out) {
    switch (type) {
    case Type::Integer: {
        char text[16];
        std::snprintf(text, sizeof text, "%d", *static_cast<const std::int32_t*>(value));
        out.emplace_back(key, text);
        break;
    }
    case Type::Float:
        out.emplace_back(key, Format("%g", *static_cast<const float*>(value)));
        break;
    case Type::Double:
        out.emplace_back(key, FormatLong(*static_cast<const double*>(value)));
        break;
    case Type::String:
        out.emplace_back(key, *static_cast<const std::string*>(value));
        break;
    case Type::Bytes: {
        const auto* v = static_cast<const TypedBytes*>(value);
        out.emplace_back(std::string("SIZE_LSS_") + key, std::to_string(v->size));
        out.emplace_back(std::string("DATA_LSS_") + key,
                         v->data ? platform::ProfileStructText(v->data, v->size) : std::string());
        break;
    }
    case Type::Unknown:
        break;
    }
}

void ReadXml(const CXmlNode& node, const char* key, Type type, void* value) {
    switch (type) {
    case Type::Integer: {
        int v = 0;
        if (node.GetValue(key, v)) *static_cast<std::int32_t*>(value) = v;
        break;
    }
    case Type::Float: {
        float v = 0;
        if (node.GetValue(key, v)) *static_cast<float*>(value) = v;
        break;
    }
    case Type::Double: {
        double v = 0;
        if (node.GetValue(key, v)) *static_cast<double*>(value) = v;
        break;
    }
    case Type::String: {
        std::string v;
        if (node.GetValue(key, v)) *static_cast<std::string*>(value) = v;
        break;
    }
    case Type::Bytes: {
        std::string hex;
        if (!node.GetValue(key, hex)) break;
        const std::size_t size = hex.size() / 2;
        void* data = std::malloc(size ? size : 1);
        if (!data) break;
        auto* v = static_cast<TypedBytes*>(value);
        v->size = static_cast<std::uint32_t>(node.GetValue(key, data, size));
        v->data = data;
        break;
    }
    case Type::Unknown:
        break;
    }
}

void WriteXml(CXmlNode& node, const char* key, Type type, const void* value) {
    switch (type) {
    case Type::Integer:
        node.SetValue(key, static_cast<int>(*static_cast<const std::int32_t*>(value)));
        break;
    case Type::Float:
        node.SetValue(key, *static_cast<const float*>(value));
        break;
    case Type::Double:
        node.SetValue(key, *static_cast<const double*>(value));
        break;
    case Type::String:
        node.SetValue(key, *static_cast<const std::string*>(value));
        break;
    case Type::Bytes: {
        const auto* v = static_cast<const TypedBytes*>(value);
        node.SetValue(key, v->data, v->data ? v->size : 0);
        break;
    }
    case Type::Unknown:
        break;
    }
}

// Reads a registry value of exactly `size` bytes into `out`.
bool QueryFixed(HKEY key, const char* name, void* out, platform::DWORD size) {
    unsigned char buffer[8];
    platform::DWORD type = 0;
    platform::DWORD got = size;
    if (platform::RegQueryValue(key, name, &type, buffer, &got) != platform::ERROR_SUCCESS ||
        got != size)
        return false;
    std::memcpy(out, buffer, size);
    return true;
}

void ReadRegistry(HKEY key, const char* name, Type type, void* value) {
    switch (type) {
    case Type::Integer:
        QueryFixed(key, name, value, 4);
        break;
    case Type::Float:
        QueryFixed(key, name, value, 4);
        break;
    case Type::Double:
        QueryFixed(key, name, value, 8);
        break;
    case Type::String:
    case Type::Bytes: {
        platform::DWORD valueType = 0;
        platform::DWORD size = 0;
        if (platform::RegQueryValue(key, name, &valueType, nullptr, &size) !=
            platform::ERROR_SUCCESS)
            break;
        std::vector<char> data(size ? size : 1);
        if (platform::RegQueryValue(key, name, &valueType, data.data(), &size) !=
            platform::ERROR_SUCCESS)
            break;
        if (type == Type::String) {
            std::size_t length = size;
            while (length > 0 && data[length - 1] == '\0')
                --length;
            static_cast<std::string*>(value)->assign(data.data(), length);
        } else {
            void* bytes = std::malloc(size ? size : 1);
            if (!bytes) break;
            std::memcpy(bytes, data.data(), size);
            auto* v = static_cast<TypedBytes*>(value);
            v->size = size;
            v->data = bytes;
        }
        break;
    }
    case Type::Unknown:
        break;
    }
}

bool WriteRegistry(HKEY key, const char* name, Type type, const void* value) {
    platform::LONG result = platform::ERROR_SUCCESS;
    switch (type) {
    case Type::Integer:
        // Four raw bytes with no declared type, as the presets have always been stored.
        result = platform::RegSetValue(key, name, platform::REG_NONE, value, 4);
        break;
    case Type::Float:
        result = platform::RegSetValue(key, name, platform::REG_BINARY, value, 4);
        break;
    case Type::Double:
        result = platform::RegSetValue(key, name, platform::REG_BINARY, value, 8);
        break;
    case Type::String: {
        const auto* v = static_cast<const std::string*>(value);
        result = platform::RegSetValue(key, name, platform::REG_SZ, v->c_str(),
                                       static_cast<platform::DWORD>(v->size() + 1));
        break;
    }
    case Type::Bytes: {
        const auto* v = static_cast<const TypedBytes*>(value);
        result =
            platform::RegSetValue(key, name, platform::REG_BINARY, v->data, v->data ? v->size : 0);
        break;
    }
    case Type::Unknown:
        break;
    }
    return result == platform::ERROR_SUCCESS;
}

// A registry value as it was before a write, to put back when a later write
// of the same preset fails.
struct SavedValue {
    bool present = false;
    platform::DWORD type = 0;
    std::vector<char> data;
};

SavedValue SaveValue(HKEY key, const char* name) {
    SavedValue saved;
    platform::DWORD size = 0;
    if (platform::RegQueryValue(key, name, &saved.type, nullptr, &size) != platform::ERROR_SUCCESS)
        return saved;
    saved.data.resize(size ? size : 1);
    saved.present = platform::RegQueryValue(key, name, &saved.type, saved.data.data(), &size) ==
                    platform::ERROR_SUCCESS;
    saved.data.resize(size);
    return saved;
}

void RestoreValue(HKEY key, const char* name, const SavedValue& saved) {
    if (saved.present)
        platform::RegSetValue(key, name, saved.type, saved.data.data(),
                              static_cast<platform::DWORD>(saved.data.size()));
    else
        platform::RegDeleteValue(key, name);
}

// The whole preset goes into the file in one rewrite: a crash leaves the
// old preset or the whole new one, never a section of old and new values.
int WriteIniAllOrNothing(const ValueStore& store, const char* const* keys,
                         const std::vector<Type>& types, const void* const* values) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::size_t i = 0; i < types.size(); ++i)
        if (keys[i] && values[i]) IniEntries(keys[i], types[i], values[i], entries);
    if (entries.empty()) return 1;
    return platform::WritePrivateProfileValues(store.section, entries, store.iniFile) ? 1 : 0;
}

} // namespace

void ReadTypedValues(const ValueStore& store, const char* const* keys, const char* types,
                     void* const* values) {
    const std::vector<Type> list = ParseTypes(types);
    if (!keys || !values) return;
    if (store.node) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (keys[i] && values[i]) ReadXml(*store.node, keys[i], list[i], values[i]);
    } else if (store.key) {
        HKEY sub = nullptr;
        if (platform::RegOpenKey(store.key, store.section ? store.section : "", &sub) !=
            platform::ERROR_SUCCESS)
            return;
        for (std::size_t i = 0; i < list.size(); ++i)
            if (keys[i] && values[i]) ReadRegistry(sub, keys[i], list[i], values[i]);
        platform::RegCloseKey(sub);
    } else if (store.iniFile && store.section) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (keys[i] && values[i]) ReadIni(store, keys[i], list[i], values[i]);
    }
}

int WriteTypedValues(const ValueStore& store, const char* const* keys, const char* types,
                     const void* const* values) {
    const std::vector<Type> list = ParseTypes(types);
    if (!keys || !values) return 1;
    if (store.node) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (keys[i] && values[i]) WriteXml(*store.node, keys[i], list[i], values[i]);
    } else if (store.key) {
        HKEY sub = nullptr;
        if (platform::RegCreateKey(store.key, store.section ? store.section : "", &sub) !=
            platform::ERROR_SUCCESS)
            return 0;
        // A value that cannot be stored undoes the ones stored before it.
        std::vector<SavedValue> before;
        bool ok = true;
        std::size_t i = 0;
        for (; ok && i < list.size(); ++i) {
            before.push_back(keys[i] ? SaveValue(sub, keys[i]) : SavedValue{});
            if (keys[i] && values[i]) ok = WriteRegistry(sub, keys[i], list[i], values[i]);
        }
        if (!ok)
            for (std::size_t j = 0; j + 1 < i; ++j)
                if (keys[j] && values[j]) RestoreValue(sub, keys[j], before[j]);
        platform::RegCloseKey(sub);
        return ok ? 1 : 0;
    } else if (store.iniFile) {
        if (!store.section) return 0;
        return WriteIniAllOrNothing(store, keys, list, values);
    }
    return 1;
}

} // namespace stavo
