// The element tree every XML file of the host is held in, and the node type
// the effect plug-in reads and writes its presets on.
//
// A node owns its children. Destroying a node first detaches it from its
// parent, then destroys its children in sibling order. Not thread safe: a
// tree is used by one thread at a time.
//
// Strings are UTF-8 byte strings. Name look-ups (FindChild, FindAttribute and
// everything built on them) ignore letter case.
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
    // (at the end when `after` is null or not a child of this node).
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

    // Parses the file and fills this node from its document element. False
    // for a missing, unreadable, malformed or hostile file (external entities
    // are never loaded, entity bombs and excessive nesting are refused).
    bool LoadFromFile(const std::string& path);
    // Writes this subtree as a complete XML file (tabs, CR LF, UTF-8). The
    // file is replaced atomically; false when it cannot be written.
    bool SaveToFile(const std::string& path) const;

    std::string GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }

    CXmlNode* AddChild(const std::string& name);
    CXmlNode* FindChild(const std::string& name) const;
    CXmlNode* GetFirstChild() const;
    CXmlNode* GetNextSibling() const;
    CXmlNode* GetParent() const;

    const std::vector<Attribute>& GetAttributes() const { return m_attributes; }
    Attribute* FindAttribute(const std::string& name);
    const Attribute* FindAttribute(const std::string& name) const;

    bool GetAttribute(const std::string& name, std::string& value) const;
    bool GetAttribute(const std::string& name, int& value) const;
    bool GetAttribute(const std::string& name, float& value) const;
    bool GetAttribute(const std::string& name, double& value) const;
    // Hex-decodes into buffer; returns the number of bytes stored (0 when absent).
    std::size_t GetAttribute(const std::string& name, void* buffer, std::size_t capacity) const;

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
