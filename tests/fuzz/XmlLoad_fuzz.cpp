// The XML loader every start touches (skins, presets, Language.xml): any
// bytes load or are refused, never crash; what loads saves and loads again
// to the same tree.
#include "FuzzSupport.h"
#include "xml/XmlNode.h"

#include <cstdlib>

namespace {

// Saving writes elements only (text and comments are unnamed nodes and are
// left out), so the comparison skips unnamed nodes on both sides.
const CXmlNode* NextElement(const CXmlNode* node) {
    while (node && node->GetName().empty())
        node = node->GetNextSibling();
    return node;
}

bool SameTree(const CXmlNode& a, const CXmlNode& b) {
    if (a.GetName() != b.GetName() || a.GetAttributes() != b.GetAttributes()) return false;
    const CXmlNode* x = NextElement(a.GetFirstChild());
    const CXmlNode* y = NextElement(b.GetFirstChild());
    for (; x && y; x = NextElement(x->GetNextSibling()), y = NextElement(y->GetNextSibling()))
        if (!SameTree(*x, *y)) return false;
    return !x && !y;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzzsupport::WriteInput("in.xml", data, size);
    CXmlNode node;
    std::string error;
    if (!node.LoadFromFile(path, &error)) return 0;
    const std::string saved = fuzzsupport::ScratchFolder() + "/saved.xml";
    if (!node.SaveToFile(saved)) return 0; // a tree that cannot be written is refused, not mangled
    CXmlNode again;
    if (!again.LoadFromFile(saved) || !SameTree(node, again)) std::abort();
    return 0;
}
