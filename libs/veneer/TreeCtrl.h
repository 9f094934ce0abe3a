// CSCTreeCtrl: a tree in the skin's colours. It draws its own branch lines
// and expand buttons (a plain box with + or -) from the skin's border and
// text colours, because the platform style's branch marks ignore the
// palette and look foreign on a dark skin.
//
// Window thread only.
#pragma once

#include <QTreeWidget>

#include "libs/veneer/SkinBase.h"

namespace veneer {

class CSCTreeCtrl : public QTreeWidget, public CSkinBase {
    Q_OBJECT
public:
    // Tree styles: expand buttons, lines between items, lines (and buttons)
    // for the items of the root level too.
    enum ETreeStyle : unsigned {
        kHasButtons = 0x1,
        kHasLines = 0x2,
        kLinesAtRoot = 0x4,
    };

    explicit CSCTreeCtrl(QWidget* parent = nullptr);
    QWidget* GetWnd() override { return this; }

    void SetTreeStyle(unsigned style);
    unsigned TreeStyle() const { return m_treeStyle; }

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;

private:
    unsigned m_treeStyle = kHasButtons | kHasLines | kLinesAtRoot;
};

} // namespace veneer
