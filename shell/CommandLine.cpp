#include "shell/CommandLine.h"

#include "platform/AsciiCase.h"

#include <cstring>
#include <filesystem>

namespace shell {

namespace {

bool CopyItem(const std::vector<std::string>& items, std::size_t i, char* buffer,
              std::size_t size) {
    if (i >= items.size() || !buffer || items[i].size() + 1 > size) return false;
    std::memcpy(buffer, items[i].c_str(), items[i].size() + 1);
    return true;
}

} // namespace

bool CKelCommandLineInfo::IsFlagToken(const std::string& token) {
    if (token.size() < 2) return false;
    if (token[0] == '-') return true;
    if (token[0] != '/') return false;
    // Here an absolute path also begins with '/': "/reg" is a flag, but
    // "/music/song.wav" or an existing file "/song.wav" is a file to open.
    if (token.find('/', 1) != std::string::npos) return false;
    std::error_code ec;
    return !std::filesystem::exists(token, ec);
}

void CKelCommandLineInfo::ParseParam(const std::string& token) {
    if (IsFlagToken(token))
        m_flags.push_back(token.substr(1));
    else
        m_parameters.push_back(token);
}

void CKelCommandLineInfo::ParseCommandLine(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i]) ParseParam(argv[i]);
}

bool CKelCommandLineInfo::GetParameter(std::size_t i, char* buffer, std::size_t size) const {
    return CopyItem(m_parameters, i, buffer, size);
}

bool CKelCommandLineInfo::GetFlag(std::size_t i, char* buffer, std::size_t size) const {
    return CopyItem(m_flags, i, buffer, size);
}

bool CKelCommandLineInfo::HasFlag(const char* name) const {
    for (const auto& f : m_flags)
        if (platform::EqualNoCase(f, name)) return true;
    return false;
}

RegistrationRequest RegistrationFlag(const CKelCommandLineInfo& info) {
    if (info.HasFlag("reg")) return RegistrationRequest::Register;
    if (info.HasFlag("unreg")) return RegistrationRequest::Unregister;
    return RegistrationRequest::None;
}

std::string BuildOpenMessage(const std::vector<std::string>& files) {
    std::string text = "open";
    for (const auto& f : files)
        text += " \"" + f + "\"";
    return text;
}

} // namespace shell
