// The element tree every XML file of the host is held in, and the node type
// the effect plug-in reads and writes its presets on.
//
// A node owns its children. Destroying a node first detaches it from its
// parent, then destroys its children in sibling order (without recursion, so
// any depth is safe). Not thread safe: a tree is used by one thread at a time.
//
// Strings are UTF-8 byte strings. Name look-ups (FindChild, FindAttribute and
// everything built on them) ignore the case of ASCII letters.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class CTreeNode {
public:
    CTreeNode() = default;
    CTreeNode(const CTreeNode&) = delete;
    CTreeNode& operator=(const CTreeNode&) = delete;
    // Detaches from the parent, then destroys the children in sibling order.
    virtual ~CTreeNode();

    CTreeNode* GetFirstChildNode() const { return m_firstChild; }
    CTreeNode* GetLastChildNode() const { return m_lastChild; }
    CTreeNode* GetNextSiblingNode() const { return m_nextSibling; }
    CTreeNode* GetParentNode() const { return m_parent; }

    // Detaches child from its current parent and links it after `after`
    // (at the end when `after` is null or not a child of this node). Nothing
    // happens when child is null, this node itself or one of its ancestors.
    void AppendChild(CTreeNode* child, CTreeNode* after = nullptr);
    // Unlinks child without destroying it; nothing happens if it is not ours.
    void RemoveChild(CTreeNode* child);

private:
    CTreeNode* m_firstChild = nullptr;
    CTreeNode* m_nextSibling = nullptr;
    CTreeNode* m_parent = nullptr;
    CTreeNode* m_lastChild = nullptr;
};

class CXmlNode : public CTreeNode {
public:
    using Attribute = std::pair<std::string, std::string>;

    CXmlNode() = default;
    explicit CXmlNode(std::string name) : m_name(std::move(name)) {}
    ~CXmlNode() override = default;

    // Elements nested deeper than this make a load (and a save) fail.
    static constexpr int kMaxDepth = 256;

    // Parses the file and fills this node from its document element: its
    // name, its attributes (namespace declarations first, then the others in
    // document order) and one child per element, comment, CDATA section,
    // processing instruction or text that is not only white space, in
    // document order; everything but elements becomes an unnamed node.
    // Entities are resolved and the declared encoding is converted to UTF-8.
    //
    // False, with this node left as it was, for a missing, unreadable,
    // malformed or hostile file: external entities and DTDs are never
    // loaded (a reference to an entity that is not declared in the file
    // fails), entity bombs and nesting deeper than kMaxDepth are refused.
    // The reason goes to *error when error is non-null.
    bool LoadFromFile(const std::string& path);
    bool LoadFromFile(const std::string& path, std::string* error);

    // Writes this subtree as a complete UTF-8 XML file: one element per line,
    // a tab per level, CR LF line ends, attribute names and values escaped.
    // Unnamed nodes (text, comments) are not written. The file is replaced
    // atomically. False, with the old file untouched, when it cannot be
    // written or when the tree cannot be written as XML that loads again: an
    // element or attribute name that is not an XML name, one attribute name
    // twice on an element, nesting deeper than kMaxDepth, or a value that is
    // not valid UTF-8 or holds a control character other than tab, LF, CR.
    // Tab, LF and CR in values are written as character references so that
    // they survive the parser's attribute normalisation.
    bool SaveToFile(const std::string& path) const;
    bool SaveToFile(const std::string& path, std::string* error) const;

    std::string GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }

    CXmlNode* AddChild(const std::string& name);
    // These walk the children that are CXmlNode objects, in sibling order.
    CXmlNode* FindChild(const std::string& name) const;
    CXmlNode* GetFirstChild() const;
    CXmlNode* GetNextSibling() const;
    CXmlNode* GetParent() const;

    const std::vector<Attribute>& GetAttributes() const { return m_attributes; }
    // The pointer is valid until the next attribute is added.
    Attribute* FindAttribute(const std::string& name);
    const Attribute* FindAttribute(const std::string& name) const;

    // False, with the out value untouched, when the attribute is absent. The
    // numeric forms convert by atoi / atof rules (0 when the value does not
    // start with a number) with a dot as decimal separator, whatever the
    // process locale; an int saturates instead of overflowing.
    bool GetAttribute(const std::string& name, std::string& value) const;
    bool GetAttribute(const std::string& name, int& value) const;
    bool GetAttribute(const std::string& name, float& value) const;
    bool GetAttribute(const std::string& name, double& value) const;
    // Hex-decodes into buffer; returns the number of bytes stored (0 when
    // absent). Decoding stops at the first pair that is not two hex digits.
    std::size_t GetAttribute(const std::string& name, void* buffer, std::size_t capacity) const;

    // Replaces the value of the first matching attribute or appends one.
    // The numeric forms write int in decimal, float and double as printf
    // "%g" (six significant digits, a dot as decimal separator), bytes as two
    // upper-case hex digits each. A null const char* is an empty value.
    void SetAttribute(const std::string& name, const std::string& value);
    void SetAttribute(const std::string& name, const char* value);
    void SetAttribute(const std::string& name, int value);
    void SetAttribute(const std::string& name, float value);
    void SetAttribute(const std::string& name, double value);
    void SetAttribute(const std::string& name, const void* data, std::size_t length);

    // Read / write the attribute "Value" of the first child named childName
    // (SetValue adds the child when missing).
    bool GetValue(const std::string& childName, std::string& value) const;
    bool GetValue(const std::string& childName, int& value) const;
    bool GetValue(const std::string& childName, float& value) const;
    bool GetValue(const std::string& childName, double& value) const;
    std::size_t GetValue(const std::string& childName, void* buffer, std::size_t capacity) const;

    void SetValue(const std::string& childName, const std::string& value);
    void SetValue(const std::string& childName, const char* value);
    void SetValue(const std::string& childName, int value);
    void SetValue(const std::string& childName, float value);
    void SetValue(const std::string& childName, double value);
    void SetValue(const std::string& childName, const void* data, std::size_t length);

    // Appends a pair without looking for an existing one (used by the loader,
    // which keeps duplicate names in document order).
    void AppendAttribute(const std::string& name, const std::string& value);

private:
    std::vector<Attribute> m_attributes;
    std::string m_name;
};
