// The extension list that the coder library hands out as a file-dialog
// filter text: a description, "|", then "*.ext;" patterns ("Audio files|
// *.wav;*.flac;|"). Window-free.
#pragma once

#include <string>
#include <vector>

namespace ui {

// The extensions of a filter text, each with its dot, in order. Reading
// starts two characters after the first "|" and after each ";" (skipping the
// asterisk) and takes the text up to the next ";". It stops at an empty
// remainder, at a "|", or where no ";" closes an entry: an unclosed last
// entry is not used.
std::vector<std::string> ParseExtensionFilter(const std::string& filter);

} // namespace ui
