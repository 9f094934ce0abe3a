// A skin file from anywhere: the skin list accepts or passes over any
// bytes, and the placement of every element of a skin that loads (panels
// and controls at any numbers) lays out without crashing.
#include "FuzzSupport.h"
#include "ui/Placement.h"
#include "ui/SkinList.h"
#include "xml/XmlNode.h"

#include <sys/stat.h>

namespace {

void PlaceAll(const CXmlNode& element, ui::SSize client, int depth) {
    if (depth > 64) return;
    for (const CXmlNode* child = element.GetFirstChild(); child; child = child->GetNextSibling()) {
        const ui::SPlacement p = ui::ReadPlacement(*child);
        const ui::SRect r = ui::PlaceRect(p.x, p.y, p.cx, p.cy, p.flags, ui::SSize{p.cx, p.cy},
                                          client, ui::SSize{p.cx, p.cy});
        PlaceAll(*child, ui::SSize{r.right - r.left, r.bottom - r.top}, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string folder = fuzzsupport::ScratchFolder() + "/Skins";
    ::mkdir(folder.c_str(), 0700);
    fuzzsupport::WriteInput("Skins/Fuzz.xml", data, size);
    for (const auto& skin : ui::FindSkinFiles(folder)) {
        CXmlNode root;
        if (!root.LoadFromFile(skin.path)) continue;
        ui::SSize initial[ui::kPanelCount] = {};
        ui::SFrameLayoutIn in;
        in.client = ui::SRect{0, 0, 960, 600};
        const ui::SFrameLayoutOut out = ui::LayoutFrame(in);
        (void)out;
        (void)ui::MinimumClientSize(initial);
        PlaceAll(root, ui::SSize{960, 600}, 0);
    }
    return 0;
}
