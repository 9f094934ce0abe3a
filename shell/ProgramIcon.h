// The program's mark (the level meter of the splash) and the window icon
// drawn from it, so both stay one picture and are sharp at any size.
#pragma once

#include <QIcon>
#include <QRectF>

class QPainter;

namespace shell {

// Nine meter bars filling area (104 x 74 is the mark's natural size).
void PaintProgramMark(QPainter& painter, const QRectF& area);

// The mark on a dark rounded square, at the usual icon sizes.
QIcon ProgramIcon();

} // namespace shell
