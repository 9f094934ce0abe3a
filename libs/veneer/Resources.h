// The resource records the host hands to CSkinBase::UseCustomSkin, and the
// image file handles they carry. Every field is 32 bits; the first one is
// the record's size in bytes, by which the control tells the records apart.
//
// No Qt here: the host's window-free code fills these records.
#pragma once

#include <cstdint>
#include <string>

#include "libs/lacquer/Lacquer.h"

namespace veneer {

struct _UNKNOWN_RESOURCES_ {
    std::int32_t size;
};

// Buttons: an image strip, optionally a second strip whose alpha channel
// masks the first (0 when none).
struct SKIN_IMAGE_RESOURCES {
    std::int32_t size = 16;
    std::int32_t image = 0;
    std::int32_t alpha = 0;
    std::int32_t reserved = 0;
};
static_assert(sizeof(SKIN_IMAGE_RESOURCES) == 16);

enum EDrawAlign : std::int32_t { kAlignLeftTop = 0, kAlignDefault = 1, kAlignRightBottom = 2 };

// Horizontal and vertical sliders.
struct SKIN_SLIDER_RESOURCES {
    std::int32_t size = 20;
    std::int32_t image = 0;
    std::int32_t drawAlign = kAlignDefault;
    std::int32_t beginTrackOffset = 0;
    std::int32_t endTrackOffset = 0;
};
static_assert(sizeof(SKIN_SLIDER_RESOURCES) == 20);

struct SKIN_ROUND_SLIDER_RESOURCES {
    std::int32_t size = 8;
    std::int32_t image = 0;
};
static_assert(sizeof(SKIN_ROUND_SLIDER_RESOURCES) == 8);

struct SKIN_TEXT_RESOURCES {
    std::int32_t size = 68;
    lacquer::COLORREF color = 0;
    lacquer::LOGFONTA font{};
};
static_assert(sizeof(SKIN_TEXT_RESOURCES) == 68);

struct SKIN_SCROLL_TEXT_RESOURCES {
    std::int32_t size = 76;
    lacquer::COLORREF color = 0;
    lacquer::LOGFONTA font{};
    std::int32_t scrollOffset = 0;
    std::int32_t scrollSpeed = 0;
};
static_assert(sizeof(SKIN_SCROLL_TEXT_RESOURCES) == 76);

enum EResizeMethod : std::int32_t { kResizeTile = 0, kResizeStretch = 1 };

// Panels: a background image with fixed border parts; the middle is tiled or
// stretched.
struct SKIN_PANEL_RESOURCES {
    std::int32_t size = 28;
    std::int32_t image = -1;
    std::int32_t leftWidth = 0;
    std::int32_t rightWidth = 0;
    std::int32_t topHeight = 0;
    std::int32_t bottomHeight = 0;
    std::int32_t resizeMethod = kResizeTile;
};
static_assert(sizeof(SKIN_PANEL_RESOURCES) == 28);

// Image file handles. Opening checks only that the file exists and can be
// read; decoding happens when a control first paints, and an image that does
// not decode leaves the control painting its plain look. Handles are
// positive; -1 means failure. Window-thread use only.
std::int32_t OpenImageFile(const std::string& path);
// Closing an unknown or already closed handle does nothing. Controls that
// took the image keep their own reference, so they go on painting.
void CloseImageFile(std::int32_t handle);
// Number of handles currently open (for leak checks).
int OpenImageFileCount();

} // namespace veneer
