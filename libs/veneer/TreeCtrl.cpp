#include "libs/veneer/TreeCtrl.h"

#include <QPainter>

#include "libs/veneer/Colors.h"
#include "libs/veneer/Controls.h"

namespace veneer {

CSCTreeCtrl::CSCTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(18);
    SetTreeStyle(m_treeStyle);
    ApplySkinPalette(this);
}

bool CSCTreeCtrl::TakeResources(const _UNKNOWN_RESOURCES_* resources) {
    // The tree needs no images: any record is taken, the colours applied.
    (void)resources;
    ApplySkinPalette(this);
    return true;
}

void CSCTreeCtrl::SetTreeStyle(unsigned style) {
    m_treeStyle = style;
    setRootIsDecorated((style & kLinesAtRoot) != 0);
    viewport()->update();
}

void CSCTreeCtrl::drawBranches(QPainter* painter, const QRect& rect,
                               const QModelIndex& index) const {
    const int indent = indentation();
    if (indent <= 0 || rect.width() <= 0) return;
    painter->save();
    QPen linePen(SkinColor(lacquer::kColorBorder));
    linePen.setStyle(Qt::DotLine);
    const int midY = rect.center().y();
    // Column k of the branch area stands for the ancestor k levels above
    // the item's parent (the rightmost column is the item's own).
    const int columns = rect.width() / indent;
    QModelIndex level = index;
    for (int column = columns - 1; column >= 0 && level.isValid(); --column) {
        const QRect cell(rect.left() + column * indent, rect.top(), indent, rect.height());
        const int midX = cell.center().x();
        const bool own = column == columns - 1;
        const bool hasNext = level.sibling(level.row() + 1, 0).isValid();
        if (m_treeStyle & kHasLines) {
            painter->setPen(linePen);
            if (own) {
                const bool first = level.row() == 0 && !level.parent().isValid();
                painter->drawLine(midX, first ? midY : cell.top(), midX,
                                  hasNext ? cell.bottom() : midY);
                painter->drawLine(midX, midY, cell.right(), midY);
            } else if (hasNext) {
                painter->drawLine(midX, cell.top(), midX, cell.bottom());
            }
        }
        if (own && (m_treeStyle & kHasButtons) && model()->hasChildren(index)) {
            const QRect box(midX - 4, midY - 4, 8, 8);
            painter->setPen(SkinColor(lacquer::kColorBorder));
            painter->fillRect(box, SkinColor(lacquer::kColorEdit));
            painter->drawRect(box);
            painter->setPen(SkinColor(lacquer::kColorEditText));
            painter->drawLine(box.left() + 2, midY, box.right() - 2, midY);
            if (!isExpanded(index)) painter->drawLine(midX, box.top() + 2, midX, box.bottom() - 2);
        }
        level = level.parent();
    }
    painter->restore();
}

} // namespace veneer
