// Reading XML files through libxml2 and writing them in our fixed layout.

#include "xml/XmlNode.h"

#include "platform/AtomicFile.h"
#include "xml/XmlText.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_set>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

namespace {

// Skin, language and playlist files are far smaller; anything bigger is not
// one of ours and is refused before it is read into memory.
constexpr std::uintmax_t kMaxFileBytes = 256u * 1024u * 1024u;

// What the libxml2 callbacks learn during one load on this thread.
struct LoadState {
    std::string message;
    int line = 0;
    bool refusedExternal = false;
    bool undeclaredEntity = false;
};

thread_local LoadState* t_load = nullptr;

// Every file and entity we parse is handed to libxml2 from memory, so the
// loader only ever sees external entities, DTDs and parameter entities named
// by the file itself. Those could read local files or reach the network on
// behalf of an untrusted skin or playlist: refuse them all, and remember it
// so the load fails instead of silently missing content.
xmlParserInputPtr RefuseExternalEntity(const char* url, const char*, xmlParserCtxtPtr) {
    if (t_load) {
        t_load->refusedExternal = true;
        if (t_load->message.empty()) {
            t_load->message =
                std::string("external entity \"") + (url ? url : "") + "\" is not loaded";
        }
    }
    return nullptr;
}

// libxml2 2.12 made the error record const in the handler's signature.
#if LIBXML_VERSION >= 21200
using ErrorRecord = const xmlError*;
#else
using ErrorRecord = xmlError*;
#endif

void KeepError(void*, ErrorRecord error) {
    if (!t_load || !error) return;
    // A reference to an entity the file does not declare (possible when it
    // names an external DTD, which we never read) is only a warning to
    // libxml2, which then drops the reference from the text.
    if (error->code == XML_WAR_UNDECLARED_ENTITY) t_load->undeclaredEntity = true;
    const bool serious = error->level >= XML_ERR_ERROR || error->code == XML_WAR_UNDECLARED_ENTITY;
    if (serious && t_load->message.empty() && error->message) {
        t_load->message = error->message;
        // Some messages carry a second line (the offending bytes).
        for (char& c : t_load->message) {
            if (c == '\n') c = ' ';
        }
        while (!t_load->message.empty() &&
               (t_load->message.back() == '\n' || t_load->message.back() == ' ')) {
            t_load->message.pop_back();
        }
        t_load->line = error->line;
    }
}

void DiscardGenericError(void*, const char*, ...) {}

void InitLibxml() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalEntity);
    });
}

// Routes libxml2's messages on this thread to the load state for the length
// of one load, so nothing is printed to stderr, and puts the previous
// handlers back afterwards.
class ErrorCapture {
public:
    explicit ErrorCapture(LoadState& state)
        : m_previousState(t_load), m_generic(xmlGenericError),
          m_genericContext(xmlGenericErrorContext), m_structured(xmlStructuredError),
          m_structuredContext(xmlStructuredErrorContext) {
        t_load = &state;
        xmlSetGenericErrorFunc(nullptr, DiscardGenericError);
        xmlSetStructuredErrorFunc(nullptr, KeepError);
    }
    ~ErrorCapture() {
        xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
        xmlSetGenericErrorFunc(m_genericContext, m_generic);
        t_load = m_previousState;
    }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

private:
    LoadState* m_previousState;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
};

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct CtxtFree {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

std::string Str(const xmlChar* text) {
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

std::string QualifiedName(const xmlNs* ns, const xmlChar* local) {
    if (ns && ns->prefix) return Str(ns->prefix) + ":" + Str(local);
    return Str(local);
}

bool IsXmlNamespace(const xmlNs* ns) {
    return ns && ns->href && xmlStrEqual(ns->href, XML_XML_NAMESPACE);
}

// Copies the name and attributes of an element; returns the element's
// xml:space setting (1 preserve, 0 default, -1 not given).
int CopyNameAndAttributes(const xmlNode* source, CXmlNode& target) {
    target.SetName(QualifiedName(source->ns, source->name));
    // libxml2 keeps namespace declarations apart from the attributes and
    // loses their relative order; they are listed first, as they usually
    // are written.
    for (const xmlNs* ns = source->nsDef; ns; ns = ns->next) {
        const std::string name = ns->prefix ? "xmlns:" + Str(ns->prefix) : std::string("xmlns");
        target.AppendAttribute(name, Str(ns->href));
    }
    int space = -1;
    for (const xmlAttr* attribute = source->properties; attribute; attribute = attribute->next) {
        xmlChar* raw = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute));
        std::string value = Str(raw);
        xmlFree(raw);
        if (IsXmlNamespace(attribute->ns) && xmlStrEqual(attribute->name, BAD_CAST "space")) {
            if (value == "preserve") space = 1;
            if (value == "default") space = 0;
        }
        target.AppendAttribute(QualifiedName(attribute->ns, attribute->name), value);
    }
    return space;
}

// Builds the tree under root from the document element, without recursion.
// Whitespace-only text between elements is layout, not content, and is
// dropped unless xml:space="preserve" asks for it; every other node that is
// not an element becomes an unnamed child in its place.
bool CopyTree(const xmlNode* element, CXmlNode& root, std::string& error) {
    struct Pending {
        const xmlNode* source;
        CXmlNode* target;
        int depth;
        bool preserveSpace;
    };
    std::vector<Pending> pending{{element, &root, 1, false}};
    while (!pending.empty()) {
        const Pending item = pending.back();
        pending.pop_back();
        const int space = CopyNameAndAttributes(item.source, *item.target);
        const bool preserve = space < 0 ? item.preserveSpace : space == 1;
        for (const xmlNode* child = item.source->children; child; child = child->next) {
            if (child->type == XML_TEXT_NODE && !preserve && xmlIsBlankNode(child)) {
                continue;
            }
            CXmlNode* copy = item.target->AddChild(std::string());
            if (child->type != XML_ELEMENT_NODE) continue;
            // libxml2 limits plain nesting, but each entity expansion starts
            // its count afresh, so the limit on the whole tree is kept here.
            if (item.depth >= CXmlNode::kMaxDepth) {
                error = "elements are nested more than " + std::to_string(CXmlNode::kMaxDepth) +
                        " levels deep";
                return false;
            }
            pending.push_back({child, copy, item.depth + 1, preserve});
        }
    }
    return true;
}

bool Fail(std::string* error, const std::string& path, const std::string& reason) {
    if (error) *error = path + ": " + reason;
    return false;
}

} // namespace

bool CXmlNode::LoadFromFile(const std::string& path) {
    return LoadFromFile(path, nullptr);
}

bool CXmlNode::LoadFromFile(const std::string& path, std::string* error) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return Fail(error, path, "file not found");
    if (!std::filesystem::is_regular_file(status)) return Fail(error, path, "not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return Fail(error, path, "cannot read the file size");
    if (size > kMaxFileBytes) return Fail(error, path, "file is too large");

    std::string data;
    if (!platform::ReadWholeFile(path, data)) return Fail(error, path, "cannot read the file");
    if (data.size() > kMaxFileBytes) return Fail(error, path, "file is too large");

    InitLibxml();
    LoadState state;
    CXmlNode loaded;
    {
        ErrorCapture capture(state);
        std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
        if (!ctxt) return Fail(error, path, "cannot create the XML parser");
        // Entities are resolved into the text; nothing is fetched from the
        // network, no external DTD is read, and XML_PARSE_HUGE stays off so
        // libxml2 keeps its limits on depth, text size and entity expansion.
        const int options = XML_PARSE_NOENT | XML_PARSE_NONET;
        std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(ctxt.get(), data.data(),
                                                               static_cast<int>(data.size()),
                                                               path.c_str(), nullptr, options));
        if (!doc || state.refusedExternal || state.undeclaredEntity) {
            std::string reason =
                state.message.empty() ? "not a well-formed XML file" : state.message;
            if (state.line > 0) reason = "line " + std::to_string(state.line) + ": " + reason;
            return Fail(error, path, reason);
        }
        const xmlNode* element = xmlDocGetRootElement(doc.get());
        if (!element) return Fail(error, path, "no document element");
        std::string reason;
        if (!CopyTree(element, loaded, reason)) return Fail(error, path, reason);
    }

    // Only a complete load touches this node.
    SetName(loaded.GetName());
    for (const Attribute& attribute : loaded.GetAttributes()) {
        AppendAttribute(attribute.first, attribute.second);
    }
    while (CTreeNode* child = loaded.GetFirstChildNode())
        AppendChild(child);
    return true;
}

namespace {

const CXmlNode* NamedFrom(const CXmlNode* node) {
    while (node && node->GetName().empty())
        node = node->GetNextSibling();
    return node;
}

// Checks that an element will read back as written: the loader would refuse
// the whole file otherwise.
bool CheckElement(const CXmlNode& node, std::string& error) {
    const std::string name = node.GetName();
    if (!xmltext::IsXmlName(name)) {
        error = "element name \"" + name + "\" is not an XML name";
        return false;
    }
    const auto& attributes = node.GetAttributes();
    for (const auto& [attributeName, value] : attributes) {
        if (!xmltext::IsXmlName(attributeName)) {
            error = "attribute name \"" + attributeName + "\" of <" + name + "> is not an XML name";
            return false;
        }
        if (!xmltext::IsXmlText(value)) {
            error = "attribute \"" + attributeName + "\" of <" + name +
                    "> holds bytes that XML cannot carry (invalid UTF-8 or a control character)";
            return false;
        }
    }
    std::unordered_set<std::string_view> seen;
    for (const auto& attribute : attributes) {
        if (!seen.insert(attribute.first).second) {
            error = "attribute \"" + attribute.first + "\" appears twice on <" + name + ">";
            return false;
        }
    }
    return true;
}

void WriteStartTag(const CXmlNode& node, int depth, bool empty, std::string& out) {
    out.append(static_cast<std::size_t>(depth), '\t');
    out += '<';
    out += node.GetName();
    for (const auto& [name, value] : node.GetAttributes()) {
        out += ' ';
        xmltext::AppendEscaped(out, name);
        out += "=\"";
        xmltext::AppendEscaped(out, value);
        out += '"';
    }
    out += empty ? "/>\r\n" : ">\r\n";
}

// Writes the subtree one element per line without recursion. Unnamed nodes
// stand for text and comments, which the layout leaves out.
bool WriteTree(const CXmlNode& root, std::string& out, std::string& error) {
    struct Open {
        const CXmlNode* node;
        const CXmlNode* nextChild;
    };
    std::vector<Open> open;
    auto start = [&](const CXmlNode& node) {
        if (open.size() >= static_cast<std::size_t>(CXmlNode::kMaxDepth)) {
            error = "elements are nested more than " + std::to_string(CXmlNode::kMaxDepth) +
                    " levels deep";
            return false;
        }
        if (!CheckElement(node, error)) return false;
        const CXmlNode* first = NamedFrom(node.GetFirstChild());
        WriteStartTag(node, static_cast<int>(open.size()), first == nullptr, out);
        if (first) open.push_back({&node, first});
        return true;
    };
    if (!start(root)) return false;
    while (!open.empty()) {
        Open& top = open.back();
        if (const CXmlNode* child = top.nextChild) {
            top.nextChild = NamedFrom(child->GetNextSibling());
            if (!start(*child)) return false;
            continue;
        }
        out.append(open.size() - 1, '\t');
        out += "</";
        out += top.node->GetName();
        out += ">\r\n";
        open.pop_back();
    }
    return true;
}

} // namespace

bool CXmlNode::SaveToFile(const std::string& path) const {
    return SaveToFile(path, nullptr);
}

bool CXmlNode::SaveToFile(const std::string& path, std::string* error) const {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    std::string reason;
    if (!WriteTree(*this, out, reason)) return Fail(error, path, reason);
    return platform::WriteFileAtomically(path, out, error);
}
