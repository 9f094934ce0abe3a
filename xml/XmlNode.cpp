#include "xml/XmlNode.h"

#include "xml/XmlText.h"

namespace {

const char kValue[] = "Value";

// The first CXmlNode among node and its following siblings.
CXmlNode* FirstXmlNodeFrom(CTreeNode* node) {
    for (; node; node = node->GetNextSiblingNode()) {
        if (auto* xml = dynamic_cast<CXmlNode*>(node)) return xml;
    }
    return nullptr;
}

} // namespace

CXmlNode* CXmlNode::AddChild(const std::string& name) {
    auto* child = new CXmlNode(name);
    AppendChild(child);
    return child;
}

CXmlNode* CXmlNode::FindChild(const std::string& name) const {
    for (CXmlNode* child = GetFirstChild(); child; child = child->GetNextSibling()) {
        if (xmltext::NamesEqual(child->m_name, name)) return child;
    }
    return nullptr;
}

CXmlNode* CXmlNode::GetFirstChild() const {
    return FirstXmlNodeFrom(GetFirstChildNode());
}

CXmlNode* CXmlNode::GetNextSibling() const {
    return FirstXmlNodeFrom(GetNextSiblingNode());
}

CXmlNode* CXmlNode::GetParent() const {
    return dynamic_cast<CXmlNode*>(GetParentNode());
}

CXmlNode::Attribute* CXmlNode::FindAttribute(const std::string& name) {
    for (Attribute& attribute : m_attributes) {
        if (xmltext::NamesEqual(attribute.first, name)) return &attribute;
    }
    return nullptr;
}

const CXmlNode::Attribute* CXmlNode::FindAttribute(const std::string& name) const {
    return const_cast<CXmlNode*>(this)->FindAttribute(name);
}

bool CXmlNode::GetAttribute(const std::string& name, std::string& value) const {
    const Attribute* attribute = FindAttribute(name);
    if (!attribute) return false;
    value = attribute->second;
    return true;
}

bool CXmlNode::GetAttribute(const std::string& name, int& value) const {
    const Attribute* attribute = FindAttribute(name);
    if (!attribute) return false;
    value = xmltext::ParseInt(attribute->second);
    return true;
}

bool CXmlNode::GetAttribute(const std::string& name, float& value) const {
    const Attribute* attribute = FindAttribute(name);
    if (!attribute) return false;
    value = static_cast<float>(xmltext::ParseDouble(attribute->second));
    return true;
}

bool CXmlNode::GetAttribute(const std::string& name, double& value) const {
    const Attribute* attribute = FindAttribute(name);
    if (!attribute) return false;
    value = xmltext::ParseDouble(attribute->second);
    return true;
}

std::size_t CXmlNode::GetAttribute(const std::string& name, void* buffer,
                                   std::size_t capacity) const {
    const Attribute* attribute = FindAttribute(name);
    if (!attribute) return 0;
    return xmltext::DecodeHex(attribute->second, buffer, capacity);
}

void CXmlNode::SetAttribute(const std::string& name, const std::string& value) {
    if (Attribute* attribute = FindAttribute(name)) {
        attribute->second = value;
    } else {
        m_attributes.emplace_back(name, value);
    }
}

void CXmlNode::SetAttribute(const std::string& name, const char* value) {
    SetAttribute(name, std::string(value ? value : ""));
}

void CXmlNode::SetAttribute(const std::string& name, int value) {
    SetAttribute(name, xmltext::FormatInt(value));
}

void CXmlNode::SetAttribute(const std::string& name, float value) {
    SetAttribute(name, xmltext::FormatG(static_cast<double>(value)));
}

void CXmlNode::SetAttribute(const std::string& name, double value) {
    SetAttribute(name, xmltext::FormatG(value));
}

void CXmlNode::SetAttribute(const std::string& name, const void* data, std::size_t length) {
    SetAttribute(name, xmltext::EncodeHex(data, length));
}

bool CXmlNode::GetValue(const std::string& childName, std::string& value) const {
    const CXmlNode* child = FindChild(childName);
    return child && child->GetAttribute(kValue, value);
}

bool CXmlNode::GetValue(const std::string& childName, int& value) const {
    const CXmlNode* child = FindChild(childName);
    return child && child->GetAttribute(kValue, value);
}

bool CXmlNode::GetValue(const std::string& childName, float& value) const {
    const CXmlNode* child = FindChild(childName);
    return child && child->GetAttribute(kValue, value);
}

bool CXmlNode::GetValue(const std::string& childName, double& value) const {
    const CXmlNode* child = FindChild(childName);
    return child && child->GetAttribute(kValue, value);
}

std::size_t CXmlNode::GetValue(const std::string& childName, void* buffer,
                               std::size_t capacity) const {
    const CXmlNode* child = FindChild(childName);
    return child ? child->GetAttribute(kValue, buffer, capacity) : 0;
}

namespace {

CXmlNode* ValueChild(CXmlNode& node, const std::string& childName) {
    CXmlNode* child = node.FindChild(childName);
    return child ? child : node.AddChild(childName);
}

} // namespace

void CXmlNode::SetValue(const std::string& childName, const std::string& value) {
    ValueChild(*this, childName)->SetAttribute(kValue, value);
}

void CXmlNode::SetValue(const std::string& childName, const char* value) {
    ValueChild(*this, childName)->SetAttribute(kValue, value);
}

void CXmlNode::SetValue(const std::string& childName, int value) {
    ValueChild(*this, childName)->SetAttribute(kValue, value);
}

void CXmlNode::SetValue(const std::string& childName, float value) {
    ValueChild(*this, childName)->SetAttribute(kValue, value);
}

void CXmlNode::SetValue(const std::string& childName, double value) {
    ValueChild(*this, childName)->SetAttribute(kValue, value);
}

void CXmlNode::SetValue(const std::string& childName, const void* data, std::size_t length) {
    ValueChild(*this, childName)->SetAttribute(kValue, data, length);
}

void CXmlNode::AppendAttribute(const std::string& name, const std::string& value) {
    m_attributes.emplace_back(name, value);
}
