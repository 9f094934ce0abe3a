// Where the program finds its own files and where it may write.
#pragma once

#include <string>

namespace platform {

// The folder of the running executable, with a trailing '/'. Modules/,
// Skins/, Language/, Help/ and the preset files are found relative to it.
std::string ProgramDirectory();

// The folder for files the program writes (config.ini, Language.xml, logs,
// the registry store), with a trailing '/': the program directory when it is
// writable (portable use), otherwise $XDG_CONFIG_HOME/sonvara/ (by default
// ~/.config/sonvara/), created on first use.
std::string SettingsDirectory();

// Overrides for tests and embedding; an empty string restores the default.
void SetProgramDirectory(const std::string& dir);
void SetSettingsDirectory(const std::string& dir);

// a + '/' + b without doubling the separator.
std::string JoinPath(const std::string& a, const std::string& b);

// Creates dir and its missing parents; true when it exists afterwards.
bool MakeDirectories(const std::string& dir);

} // namespace platform
