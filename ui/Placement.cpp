#include "ui/Placement.h"

#include <algorithm>
#include <cstdint>

#include "platform/AsciiCase.h"
#include "xml/XmlNode.h"

namespace ui {

namespace {
const char* const kPanelNames[kPanelCount] = {"FramePanelUp", "FramePanelDown", "FramePanelLeft",
                                              "FramePanelRight", "FramePanelPlayer"};

std::string Attr(const CXmlNode& element, const char* name) {
    std::string value;
    element.GetAttribute(name, value);
    return value;
}

// Skin coordinates are kept within this many pixels either way: far beyond
// any screen, and small enough that sums and differences of a few of them
// never overflow an int (a skin with x="2147483647" overflowed them).
constexpr std::int64_t kMaxCoordinate = 1 << 24;

int Clamp(std::int64_t v) {
    return static_cast<int>(std::clamp(v, -kMaxCoordinate, kMaxCoordinate));
}

int IntAttr(const CXmlNode& element, const char* name) {
    int value = 0;
    element.GetAttribute(name, value);
    return Clamp(value);
}

// One axis of PlaceRect: returns the start and sets *end.
// Worked out in 64 bits and clamped, whatever the numbers it is given.
// Halving is an arithmetic shift, as the layout has always halved (it
// rounds toward minus infinity for negative values too).
int PlaceAxis(std::int64_t pos, std::int64_t size, bool stretch, bool far, bool centre,
              std::int64_t initial, std::int64_t client, std::int64_t current, int* end) {
    const std::int64_t effective = std::max(initial, client);
    std::int64_t start = pos;
    if (stretch) {
        *end = Clamp(start + size + (effective - initial));
        return Clamp(start);
    }
    if (far)
        start += effective - initial;
    else if (centre)
        start = (effective >> 1) + pos - (initial >> 1);
    *end = Clamp(start + (size != 0 ? size : current));
    return Clamp(start);
}
} // namespace

const char* PanelName(EPanel panel) {
    const int i = static_cast<int>(panel);
    return i >= 0 && i < kPanelCount ? kPanelNames[i] : "";
}

bool PanelFromName(const std::string& name, EPanel* panel) {
    for (int i = 0; i < kPanelCount; ++i) {
        if (platform::EqualNoCase(name, kPanelNames[i])) {
            *panel = static_cast<EPanel>(i);
            return true;
        }
    }
    return false;
}

SPlacement ReadPlacement(const CXmlNode& element) {
    SPlacement p;
    const std::string horz = Attr(element, "HorzAlign");
    const std::string vert = Attr(element, "VertAlign");
    unsigned flags = 0;
    if (platform::EqualNoCase(horz, "LEFT"))
        flags |= kPlaceLeft;
    else if (platform::EqualNoCase(horz, "RIGHT"))
        flags |= kPlaceRight;
    else
        flags |= kPlaceHCentre;
    if (platform::EqualNoCase(vert, "TOP"))
        flags |= kPlaceTop;
    else if (platform::EqualNoCase(vert, "BOTTOM"))
        flags |= kPlaceBottom;
    else
        flags |= kPlaceVCentre;
    if (platform::EqualNoCase(Attr(element, "HorzStretch"), "Yes")) flags |= kPlaceHStretch;
    if (platform::EqualNoCase(Attr(element, "VertStretch"), "Yes")) flags |= kPlaceVStretch;
    p.flags = flags;
    p.x = IntAttr(element, "x");
    p.y = IntAttr(element, "y");
    p.cx = IntAttr(element, "cx");
    p.cy = IntAttr(element, "cy");
    p.hasOwner = PanelFromName(Attr(element, "Owner"), &p.owner);
    return p;
}

SRect PlaceRect(int x, int y, int cx, int cy, unsigned flags, SSize initial, SSize client,
                SSize currentSize) {
    SRect r;
    r.left =
        PlaceAxis(x, cx, (flags & kPlaceHStretch) != 0, (flags & kPlaceRight) != 0,
                  (flags & kPlaceHCentre) != 0, initial.cx, client.cx, currentSize.cx, &r.right);
    r.top =
        PlaceAxis(y, cy, (flags & kPlaceVStretch) != 0, (flags & kPlaceBottom) != 0,
                  (flags & kPlaceVCentre) != 0, initial.cy, client.cy, currentSize.cy, &r.bottom);
    return r;
}

SFrameLayoutOut LayoutFrame(const SFrameLayoutIn& in) {
    SFrameLayoutOut out;
    SRect r = in.client;
    const auto size = [&](EPanel p) { return in.initial[static_cast<int>(p)]; };
    const auto set = [&](EPanel p, int left, int top, int width, int height) {
        out.panel[static_cast<int>(p)] = SRect{left, top, left + width, top + height};
    };

    const SSize up = size(EPanel::Up);
    set(EPanel::Up, r.left, r.top, std::max(r.right, up.cx) - r.left, up.cy);
    r.top += up.cy;

    const SSize down = size(EPanel::Down);
    out.playerVisible = in.playerShown;
    if (in.playerShown) {
        const SSize player = size(EPanel::Player);
        const int top = std::max(r.bottom - player.cy, r.top + down.cy);
        set(EPanel::Player, r.left, top, std::max(r.right, player.cx) - r.left, player.cy);
        r.bottom = std::min(r.bottom, top);
    }

    {
        const int top = std::max(r.bottom - down.cy, r.top);
        set(EPanel::Down, r.left, top, std::max(r.right, down.cx) - r.left, down.cy);
        r.bottom = std::min(r.bottom, top);
    }

    const SSize left = size(EPanel::Left);
    set(EPanel::Left, r.left, r.top, left.cx, std::max(r.bottom, left.cy) - r.top);
    r.left += left.cx;

    const SSize right = size(EPanel::Right);
    {
        const int l = std::max(r.right - right.cx, r.left);
        set(EPanel::Right, l, r.top, right.cx, std::max(r.bottom, right.cy) - r.top);
        r.right -= right.cx;
    }

    out.moduleArea = r;
    return out;
}

SSize MinimumClientSize(const SSize initial[kPanelCount]) {
    const auto s = [&](EPanel p) { return initial[static_cast<int>(p)]; };
    SSize m;
    m.cx = std::max({s(EPanel::Up).cx, s(EPanel::Down).cx, s(EPanel::Player).cx});
    m.cy = s(EPanel::Up).cy + s(EPanel::Down).cy + s(EPanel::Player).cy +
           std::max(s(EPanel::Left).cy, s(EPanel::Right).cy);
    return m;
}

} // namespace ui
