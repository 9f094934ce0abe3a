// The program's widget style: Fusion, with the check box and radio button
// indicators drawn from the palette's border, field and accent colours.
// Fusion derives their outline from the window colour, which all but
// disappears on a dark skin, leaving a dark box on a dark dialog.
#pragma once

class QStyle;

namespace veneer {

// A new instance; QApplication::setStyle takes it over.
QStyle* CreateSkinStyle();
// Makes the skin style the application's, once (skinned windows call it
// when they take the skin's palette). Needs a QApplication.
void UseSkinStyle();

} // namespace veneer
