// config.ini: the host's settings file and the per-owner parameter sections
// through which the host ("Main frame") and every loaded module keep values.
//
// An owner's section is the owner's name followed by ": params". Only the
// host and loaded modules are owners; any other name is refused without
// touching the file. Window-thread use; the profile functions serialise
// access to the file itself.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace shell {

inline constexpr const char* kHostOwner = "Main frame";

class CSettings {
public:
    // Whether a name (compared without regard to case) is a loaded module's
    // display name.
    using ModuleNameTest = std::function<bool(const char* name)>;

    CSettings() = default;
    // The file is a settings file from then on: damaged, it reads as
    // defaults and is kept aside as "<file>.bad" (platform::GuardSettingsFile).
    explicit CSettings(std::string path);

    // The full path of config.ini in the writable settings folder.
    static std::string DefaultPath();

    const std::string& Path() const { return m_path; }
    void SetPath(std::string path);
    void SetModuleNameTest(ModuleNameTest test) { m_isModule = std::move(test); }

    // True for "Main frame" or a loaded module, letter case ignored.
    bool IsOwner(const char* owner) const;
    static std::string ParamSection(const char* owner) { return std::string(owner) + ": params"; }

    // Reads key of the owner's section into buffer (at most size characters
    // with the terminator). FALSE for an unknown owner (buffer untouched) or
    // an empty value (buffer then holds "").
    bool GetParam(const char* owner, const char* key, char* buffer, unsigned size) const;
    bool SetParam(const char* owner, const char* key, const char* value) const;
    // Removes the first "key=" line of the owner's section, matched as text.
    // FALSE for an unknown owner or when the section header is not found.
    bool DeleteParam(const char* owner, const char* key) const;

    // Plain access to any section, for the host's own sections (PLAYER,
    // CURRENTSKIN, FRAME OPTIONS, Debug ...).
    std::string GetString(const char* section, const char* key, const char* def = "") const;
    int GetInt(const char* section, const char* key, int def) const;
    bool SetString(const char* section, const char* key, const char* value) const;
    // "On"/"Off" switches: on when the value equals "On", case ignored.
    bool GetSwitch(const char* section, const char* key, bool def) const;
    bool SetSwitch(const char* section, const char* key, bool on) const;

    // Blanks the old "_1", "_2" ... keys of MODULES_ORDER up to the first
    // missing one, then writes the current display names from "_1" on.
    void WriteModulesOrder(const std::vector<std::string>& displayNames) const;

private:
    std::string m_path;
    ModuleNameTest m_isModule;
};

} // namespace shell
