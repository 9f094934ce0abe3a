// A plain accelerator list: key sequences (in the portable text form
// "Ctrl+Shift+O") and the commands they send. KelGetAccelTable returns one.
#pragma once

#include <string>
#include <vector>

struct SvAccelerator {
    std::string keys;
    unsigned command = 0;
};

struct SvAcceleratorList {
    std::vector<SvAccelerator> entries;
};

// The frame's table while a module is active: the module's entries first,
// then the host's own. A key the module binds therefore wins.
inline SvAcceleratorList MergeAccelerators(const SvAcceleratorList* module,
                                           const SvAcceleratorList& host) {
    SvAcceleratorList merged;
    if (module) merged.entries = module->entries;
    merged.entries.insert(merged.entries.end(), host.entries.begin(), host.entries.end());
    return merged;
}
