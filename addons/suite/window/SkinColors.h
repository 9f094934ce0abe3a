// The skin's colours as Qt colours. ISkin gives 0x00BBGGRR words; the
// indices are the skin's colour table (0 window, 1 window text, 2 face,
// 3 face text, 4 highlight, 5 highlight text, 6 list background, 7 list
// text, 8 border, 9 link).
#pragma once

#include "sonvara/ISkin.h"

#include <QColor>

namespace suite {

enum SkinColorIndex {
    kSkinWindow = 0,
    kSkinWindowText = 1,
    kSkinFace = 2,
    kSkinFaceText = 3,
    kSkinHighlight = 4,
    kSkinHighlightText = 5,
    kSkinList = 6,
    kSkinListText = 7,
    kSkinBorder = 8,
};

inline QColor SkinColor(ISkin* skin, int index) {
    const std::uint32_t c = skin->GetColor(index);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

} // namespace suite
