// The settings registry's store file: any bytes are a store or a refusal
// with a reason, never a crash; a store that parses writes UTF-8 text (the
// store takes anything else for a damaged file) that parses to a tree
// written the same way again.
#include "platform/RegistryFormat.h"
#include "platform/TextEncoding.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace platform::registry;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<Node> top;
    std::string error;
    if (!Parse(text, top, &error)) {
        if (error.empty()) std::abort(); // a refusal always says why
        return 0;
    }
    const std::string written = Serialize(*top);
    if (!platform::IsValidUtf8(written)) std::abort();
    std::unique_ptr<Node> again;
    if (!Parse(written, again, &error) || Serialize(*again) != written) std::abort();
    return 0;
}
