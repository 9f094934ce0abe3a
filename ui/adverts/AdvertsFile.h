// Adverts.ini: one section per advert (the section name is only
// enumerated), "Text" the line shown and "Link" the address opened on a
// click; a missing key reads as empty. This file reads it into the two
// lists the frame shows, and installs a downloaded reply in its place.
//
// Window-free. LoadAdvertLists runs on the window thread, InstallAdvertsReply
// on the downloader's thread; they share nothing but the file, which is
// replaced whole (rename), so a reader sees the old file or the new one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ui::adverts {

// Values are cut to this many bytes (at a character boundary).
inline constexpr std::size_t kMaxAdvertValue = 1023;
// Section names are enumerated into a buffer of this size; sections whose
// names do not fit are not read.
inline constexpr std::size_t kSectionNamesBuffer = 16384;
// A larger local file is not read at all: the window thread reads it every
// fifteen seconds, and a downloaded one is never above 64 KiB.
inline constexpr std::size_t kMaxAdvertsFileBytes = 1 << 20;

// The advert texts and links, index by index.
struct SAdvertLists {
    std::vector<std::string> texts;
    std::vector<std::string> links;
    bool operator==(const SAdvertLists&) const = default;
};

// Adverts.ini in the writable settings folder (the program folder when it
// is writable).
std::string AdvertsFilePath();

// The lists of an Adverts.ini text, sections in file order.
SAdvertLists ParseAdvertLists(std::string_view bytes);

// Reads the file at path into lists. False, with lists untouched, when there
// is no such file or it cannot be read or is too large.
bool LoadAdvertLists(const std::string& path, SAdvertLists& lists);

// Whether the file has at least one non-empty section name: the test a
// downloaded reply must pass before it replaces Adverts.ini.
bool HasSections(const std::string& path);

enum class EInstallResult {
    Replaced,
    NoSections,     // not an advert file; the old one stays
    TempFileFailed, // the private temporary file could not be made
    WriteFailed,    // the target could not be replaced; the old one stays
};

// Writes reply to "Kel0NNNNN.ini" (created exclusively, links not followed)
// in a private temporary folder of its own, checks it for sections, and
// only then replaces target atomically. The temporary folder is removed.
// *error says why when the result is not Replaced.
EInstallResult InstallAdvertsReply(std::string_view reply, const std::string& target,
                                   std::string* error = nullptr);

} // namespace ui::adverts
