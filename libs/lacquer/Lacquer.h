// Lacquer: the skin resource manager. It holds the current skin file as a
// CXmlNode tree and turns the skin's texts into colours and fonts.
//
// Who calls what: the shell calls GetSWQueryInterface once at start-up and
// hands the pointer to veneer::SetSWQueryInterface; ui::CSkinManager calls
// LoadStandardSkin and GetSkinXMLRoot; ui::CFrameControls calls LoadColor and
// LoadFont for text controls; ISkin::GetColor calls GetSkinColor.
//
// No windows and no Qt here. Window-thread use only (not thread safe).
#pragma once

#include <cstdint>
#include <string>

class CXmlNode;

namespace lacquer {

// A colour value as 0x00BBGGRR (red in the low byte).
using COLORREF = std::uint32_t;
constexpr COLORREF Rgb(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(COLORREF c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(COLORREF c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// The font description record (60 bytes, every field in the platform's
// logical-font layout). Height is in pixels; a negative height is the
// character height, as the skin files write it.
struct LOGFONTA {
    std::int32_t lfHeight;
    std::int32_t lfWidth;
    std::int32_t lfEscapement;
    std::int32_t lfOrientation;
    std::int32_t lfWeight;
    std::uint8_t lfItalic;
    std::uint8_t lfUnderline;
    std::uint8_t lfStrikeOut;
    std::uint8_t lfCharSet;
    std::uint8_t lfOutPrecision;
    std::uint8_t lfClipPrecision;
    std::uint8_t lfQuality;
    std::uint8_t lfPitchAndFamily;
    char lfFaceName[32];
};
static_assert(sizeof(LOGFONTA) == 60, "the font record is 60 bytes");

// Status codes of GetSkinXMLRoot.
constexpr std::uint32_t kSOk = 0;
constexpr std::uint32_t kEFail = 0x80004005u;

// Colour indices of GetSkinColor (the skin's "Colors" element names them by
// "Index"; docs/skins.md lists their use). Any other index gives the window
// text colour of the skin.
enum ESkinColor : int {
    kColorWindow = 0,        // dialog and window background
    kColorWindowText = 1,    // text on the background
    kColorFace = 2,          // button face
    kColorFaceText = 3,      // button text
    kColorHighlight = 4,     // selection, focus, slider fill
    kColorHighlightText = 5, // text on the highlight
    kColorEdit = 6,          // edit, list and combo background
    kColorEditText = 7,      // edit text
    kColorBorder = 8,        // frames and separators
    kColorLink = 9,          // hyperlink text
    kColorCount = 10
};

// What Veneer reaches through the pointer of GetSWQueryInterface.
class ISWQuery {
public:
    virtual COLORREF QuerySkinColor(int index) = 0;
    // Full path of the folder the current skin file lies in, with a trailing
    // '/'; empty when no skin is loaded.
    virtual std::string QuerySkinFolder() = 0;

protected:
    ~ISWQuery() = default;
};

// Fills *query with the process-wide query object (never null afterwards).
void GetSWQueryInterface(void** query);

// Makes the file the current skin. When it cannot be read as XML there is no
// current skin afterwards and GetSkinXMLRoot fails, so a broken skin is never
// mistaken for the previous one. Returns true on success.
bool LoadStandardSkin(const std::string& path);

// *root = the root element of the current skin (owned by Lacquer, valid until
// the next LoadStandardSkin); kEFail and *root = null when there is none.
std::uint32_t GetSkinXMLRoot(CXmlNode** root);

// "#RRGGBB", "#RGB" or "R,G,B" (decimal); anything else is black.
COLORREF LoadColor(const std::string& text);

// "Face,Height[,Weight[,Italic]]", for example "DejaVu Sans,-12,700,0".
// Missing parts keep their defaults (height -12, weight 400, upright); an
// empty face keeps the default "Sans". Fills *font completely.
void LoadFont(LOGFONTA* font, const std::string& text);

// The skin's colour for the index, or the built-in default of that index.
COLORREF GetSkinColor(int index);

// Forgets the current skin (tests and shut-down).
void UnloadSkin();

} // namespace lacquer
