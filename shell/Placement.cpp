#include "shell/Placement.h"

#include <cstdlib>
#include <string>
#include <strings.h>

namespace shell {

namespace {

// Keys are read as the profile text they are; a value that is missing or
// empty leaves the coordinate alone.
bool ReadInt(const CSettings& settings, const char* key, int& out) {
    char buffer[10];
    if (!settings.GetParam(kHostOwner, key, buffer, sizeof buffer)) return false;
    out = std::atoi(buffer);
    return true;
}

} // namespace

CPlacement ReadPlacement(const CSettings& settings) {
    CPlacement placement;
    char size[10];
    if (!settings.GetParam(kHostOwner, "Size", size, sizeof size)) return placement;
    if (::strcasecmp(size, "Minimize") == 0) {
        placement.mode = PlacementMode::Minimize;
    } else if (::strcasecmp(size, "Exact") == 0) {
        CRect r;
        int v = 0;
        if (ReadInt(settings, "Left", v)) r.left = v;
        if (ReadInt(settings, "Top", v)) r.top = v;
        if (ReadInt(settings, "Width", v)) r.right = r.left + v;
        if (ReadInt(settings, "Height", v)) r.bottom = r.top + v;
        if (r.Width() > 0 && r.Height() > 0) {
            placement.mode = PlacementMode::Exact;
            placement.rect = r;
        }
    }
    return placement;
}

void SavePlacement(const CSettings& settings, const CPlacement& placement) {
    switch (placement.mode) {
    case PlacementMode::Maximize:
        settings.SetParam(kHostOwner, "Size", "Maximize");
        break;
    case PlacementMode::Minimize:
        settings.SetParam(kHostOwner, "Size", "Minimize");
        break;
    case PlacementMode::Exact:
        settings.SetParam(kHostOwner, "Size", "Exact");
        settings.SetParam(kHostOwner, "Left", std::to_string(placement.rect.left).c_str());
        settings.SetParam(kHostOwner, "Top", std::to_string(placement.rect.top).c_str());
        settings.SetParam(kHostOwner, "Width", std::to_string(placement.rect.Width()).c_str());
        settings.SetParam(kHostOwner, "Height", std::to_string(placement.rect.Height()).c_str());
        break;
    }
}

} // namespace shell
