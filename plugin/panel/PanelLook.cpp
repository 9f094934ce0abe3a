#include "plugin/panel/PanelLook.h"

#include <QPainter>
#include <QPalette>
#include <QStyleOption>

namespace stavo {

QColor EdgeColour(const QPalette& palette) {
    const QColor back = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    constexpr double kTowardText = 0.4;
    auto mix = [](int from, int to) { return qRound(from + (to - from) * kTowardText); };
    return QColor(mix(back.red(), text.red()), mix(back.green(), text.green()),
                  mix(back.blue(), text.blue()));
}

void CPanelStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
    if (element != PE_IndicatorRadioButton) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QPalette& palette = option->palette;
    const bool keyboardFocus =
        (option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QRectF circle = QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5);
    painter->setPen(
        QPen(keyboardFocus ? palette.color(QPalette::Highlight) : EdgeColour(palette), 1.0));
    painter->setBrush(palette.color(QPalette::Base));
    painter->drawEllipse(circle);
    if (option->state & State_On) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette.color(QPalette::Text));
        painter->drawEllipse(circle.center(), circle.width() / 4, circle.height() / 4);
    }
    painter->restore();
}

} // namespace stavo
