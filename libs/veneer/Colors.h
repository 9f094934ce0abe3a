// Skin colours as Qt colours. Internal to Veneer.
#pragma once

#include <QColor>
#include <QFont>

#include "libs/lacquer/Lacquer.h"

namespace veneer {

QColor ToQColor(lacquer::COLORREF color);
// The current skin's colour of the index (through the query object handed to
// SetSWQueryInterface, else Lacquer's own defaults).
QColor SkinColor(int index);
QFont ToQFont(const lacquer::LOGFONTA& font);

} // namespace veneer
