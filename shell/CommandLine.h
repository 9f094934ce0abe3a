// The program's command line: tokens that begin with '-', or with '/' when
// they are not a path (no second '/', no such file), are flags, kept without
// that character; every other token is a file to open.
#pragma once

#include <string>
#include <vector>

namespace shell {

class CKelCommandLineInfo {
public:
    // Sorts one token into the flags or the parameters; nothing else.
    void ParseParam(const std::string& token);
    // Every argument after the program name (argv[1] ...).
    void ParseCommandLine(int argc, const char* const* argv);

    std::size_t GetParameterCount() const { return m_parameters.size(); }
    std::size_t GetFlagCount() const { return m_flags.size(); }
    // Copies item i with its NUL into buffer; false, and nothing copied, when
    // i is out of range or the buffer cannot hold it.
    bool GetParameter(std::size_t i, char* buffer, std::size_t size) const;
    bool GetFlag(std::size_t i, char* buffer, std::size_t size) const;

    const std::vector<std::string>& Parameters() const { return m_parameters; }
    const std::vector<std::string>& Flags() const { return m_flags; }
    // Whether a flag equals name, letter case ignored.
    bool HasFlag(const char* name) const;
    static bool IsFlagToken(const std::string& token);

private:
    std::vector<std::string> m_parameters;
    std::vector<std::string> m_flags;
};

// What the reg / unreg flags ask of the default-player registration: reg
// wins when both are given.
enum class RegistrationRequest { None, Register, Unregister };
RegistrationRequest RegistrationFlag(const CKelCommandLineInfo& info);

// The bus message that hands command-line files to a module: "open" and, for
// each file, a space and the path in double quotes.
std::string BuildOpenMessage(const std::vector<std::string>& files);

} // namespace shell
