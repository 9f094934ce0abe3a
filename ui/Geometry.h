// Plain rectangles and sizes for the window-free layout code.
#pragma once

namespace ui {

struct SSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const SSize&) const = default;
};

// right and bottom are exclusive, as window rectangles are.
struct SRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const SRect&) const = default;
};

} // namespace ui
