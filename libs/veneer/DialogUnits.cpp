#include "libs/veneer/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

namespace veneer {

QRect MapDialogRect(const QWidget* dialog, const QRect& du) {
    const QFontMetrics fm = dialog ? dialog->fontMetrics() : QFontMetrics(QFont());
    // The average width of the Latin letters, as dialog templates assume.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
    const int baseY = fm.height();
    const auto x = [baseX](int v) { return (v * baseX + 2) / 4; };
    const auto y = [baseY](int v) { return (v * baseY + 4) / 8; };
    return QRect(x(du.x()), y(du.y()), x(du.width()), y(du.height()));
}

} // namespace veneer
