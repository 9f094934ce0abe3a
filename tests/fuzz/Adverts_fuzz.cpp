// Adverts.ini from anywhere (the local file, a downloaded reply, the advert
// settings in config.ini): any bytes give two lists of equal length with
// values no longer than the limit; a reply replaces the file only when it
// has sections, and then the file reads as the reply; otherwise the old
// file stays as it was.
#include "FuzzSupport.h"
#include "platform/AtomicFile.h"
#include "ui/adverts/AdvertSettings.h"
#include "ui/adverts/AdvertsFile.h"

#include <cstdlib>
#include <string>

using namespace ui::adverts;

namespace {

constexpr std::string_view kOldFile = "[1]\nText=Old advert\nLink=https://example.org/\n";

void CheckLists(const SAdvertLists& lists) {
    if (lists.texts.size() != lists.links.size()) std::abort();
    for (const auto& value : lists.texts)
        if (value.size() > kMaxAdvertValue) std::abort();
    for (const auto& value : lists.links)
        if (value.size() > kMaxAdvertValue) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const SAdvertLists parsed = ParseAdvertLists(bytes);
    CheckLists(parsed);

    const std::string target = fuzzsupport::ScratchFolder() + "/Adverts.ini";
    if (!platform::WriteFileAtomically(target, kOldFile, nullptr)) std::abort();
    const EInstallResult result = InstallAdvertsReply(bytes, target);
    std::string now;
    if (!platform::ReadWholeFile(target, now)) std::abort();
    if (result == EInstallResult::Replaced) {
        if (now != bytes) std::abort();
        SAdvertLists loaded;
        if (!LoadAdvertLists(target, loaded) || !(loaded == parsed)) std::abort();
    } else if (now != kOldFile) {
        std::abort(); // a refused reply never touches the file in place
    }

    const std::string config = fuzzsupport::WriteInput("config.ini", data, size);
    const SAdvertSettings settings = ReadAdvertSettings(config);
    if (settings.interval < kMinimumInterval) std::abort();
    return 0;
}
