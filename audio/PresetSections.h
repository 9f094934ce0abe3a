// The sections of a preset file (the equalizer's and the surround's): "1",
// "2", "3" ... in order, up to the first whose Name reads as empty through
// a 260-character probe, so a gap in the numbering ends the list. A missing
// file has none.
//
// Threads: window thread only (file reads).
#pragma once

#include <string>
#include <vector>

std::vector<std::string> PresetSections(const std::string& file);
