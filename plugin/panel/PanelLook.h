// How the settings panel draws its edges and radio buttons in whatever
// palette its host gives it: every colour comes from that palette, so the
// panel sits as well in a dark skin as in a light one.
#pragma once

#include <QProxyStyle>

class QPalette;

namespace stavo {

// The colour of a one-pixel edge: between the background and the text, far
// enough from both to show and to stay quiet.
QColor EdgeColour(const QPalette& palette);

// The host's style, but for radio buttons drawn as a circle of the edge
// colour on the text background, with a dot of the text colour when checked
// (some styles outline them in a shade of the background that a dark
// palette makes all but invisible).
class CPanelStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

} // namespace stavo
