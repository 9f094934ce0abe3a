// Dialog units: the measure dialog layouts are given in, a quarter of the
// font's average character width across and an eighth of its height down,
// so a layout grows with the font.
#pragma once

#include <QRect>

class QWidget;

namespace veneer {

// The rectangle in pixels for the widget's font.
QRect MapDialogRect(const QWidget* dialog, const QRect& dialogUnits);

} // namespace veneer
