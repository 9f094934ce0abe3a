#include "xml/XmlNode.h"

namespace {

// Nodes whose parent has been destroyed and which wait for their own turn,
// linked through their sibling links, and whether a destructor on this
// thread is already working through them.
thread_local CTreeNode* t_doomed = nullptr;
thread_local bool t_destroying = false;

} // namespace

CTreeNode::~CTreeNode() {
    if (m_parent) m_parent->RemoveChild(this);
    if (!m_firstChild) return;

    // The children are destroyed without recursion, so a tree of any depth
    // cannot exhaust the stack: they go to the front of a list that the
    // outermost destructor on this thread works through. Each node is still
    // destroyed before its children and subtrees go in sibling order, as a
    // recursive destructor would do it. A subclass destructor must not
    // delete other nodes of the tree being destroyed: they may be waiting
    // in that list already.
    for (CTreeNode* child = m_firstChild; child; child = child->m_nextSibling) {
        child->m_parent = nullptr;
    }
    m_lastChild->m_nextSibling = t_doomed;
    t_doomed = m_firstChild;
    m_firstChild = m_lastChild = nullptr;
    if (t_destroying) return;

    t_destroying = true;
    while (CTreeNode* node = t_doomed) {
        t_doomed = node->m_nextSibling;
        node->m_nextSibling = nullptr;
        delete node;
    }
    t_destroying = false;
}

void CTreeNode::AppendChild(CTreeNode* child, CTreeNode* after) {
    if (!child) return;
    if (child == after) {
        // "After itself" is where a child of ours already is.
        if (child->m_parent == this) return;
        after = nullptr;
    }
    // A node cannot become a child of itself or of one of its descendants:
    // that would cut the subtree off into a cycle nobody owns.
    // Only a node with children can be an ancestor, so appending a fresh
    // node (AddChild, the loader) never walks up the tree.
    if (child == this) return;
    if (child->m_firstChild) {
        for (const CTreeNode* n = m_parent; n; n = n->m_parent) {
            if (n == child) return;
        }
    }
    if (child->m_parent) child->m_parent->RemoveChild(child);
    child->m_parent = this;

    if (after && after->m_parent == this) {
        child->m_nextSibling = after->m_nextSibling;
        after->m_nextSibling = child;
        if (m_lastChild == after) m_lastChild = child;
        return;
    }
    child->m_nextSibling = nullptr;
    if (m_lastChild) {
        m_lastChild->m_nextSibling = child;
    } else {
        m_firstChild = child;
    }
    m_lastChild = child;
}

void CTreeNode::RemoveChild(CTreeNode* child) {
    if (!child || child->m_parent != this) return;
    CTreeNode* previous = nullptr;
    for (CTreeNode* n = m_firstChild; n && n != child; n = n->m_nextSibling)
        previous = n;
    if (previous) {
        previous->m_nextSibling = child->m_nextSibling;
    } else {
        m_firstChild = child->m_nextSibling;
    }
    if (m_lastChild == child) m_lastChild = previous;
    child->m_parent = nullptr;
    child->m_nextSibling = nullptr;
}
