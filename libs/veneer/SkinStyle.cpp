#include "libs/veneer/SkinStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QStyleOption>

#include <algorithm>

namespace veneer {

namespace {

class CSkinStyle : public QProxyStyle {
public:
    CSkinStyle() : QProxyStyle(QStringLiteral("Fusion")) { setObjectName("sonvara-skin"); }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const bool enabled = option->state & State_Enabled;
        const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
        const QColor accent = option->palette.color(group, QPalette::Highlight);
        const bool on = option->state & State_On;
        const bool partly = option->state & State_NoChange;
        // The pointer over it (or the keyboard on it) lights the edge.
        const bool lit = enabled && (option->state & (State_MouseOver | State_HasFocus));
        const QColor edge =
            on || partly || lit ? accent : option->palette.color(group, QPalette::Mid);

        const qreal side = std::min(option->rect.width(), option->rect.height());
        QRectF box(0, 0, side, side);
        box.moveCenter(QRectF(option->rect).center());
        box.adjust(0.5, 0.5, -0.5, -0.5);

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(edge, 1.0));
        painter->setBrush(option->palette.color(group, QPalette::Base));
        if (element == PE_IndicatorRadioButton) {
            painter->drawEllipse(box);
            if (on) {
                painter->setPen(Qt::NoPen);
                painter->setBrush(accent);
                const qreal inset = side * 0.27;
                painter->drawEllipse(box.adjusted(inset, inset, -inset, -inset));
            }
        } else if (on || partly) {
            // Filled with the accent, the mark in the accent's own text colour.
            painter->setBrush(accent);
            painter->drawRoundedRect(box, 2.0, 2.0);
            QPen mark(option->palette.color(group, QPalette::HighlightedText),
                      std::max<qreal>(1.5, side / 7.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            painter->setPen(mark);
            const qreal x = box.left(), y = box.top(), w = box.width();
            if (on) {
                QPainterPath tick;
                tick.moveTo(x + 0.22 * w, y + 0.52 * w);
                tick.lineTo(x + 0.42 * w, y + 0.72 * w);
                tick.lineTo(x + 0.78 * w, y + 0.30 * w);
                painter->setBrush(Qt::NoBrush);
                painter->drawPath(tick);
            } else {
                painter->drawLine(QPointF(x + 0.25 * w, y + 0.5 * w),
                                  QPointF(x + 0.75 * w, y + 0.5 * w));
            }
        } else {
            painter->drawRoundedRect(box, 2.0, 2.0);
        }
        painter->restore();
    }
};

} // namespace

QStyle* CreateSkinStyle() {
    return new CSkinStyle;
}

void UseSkinStyle() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    if (QApplication::style() && QApplication::style()->objectName() == "sonvara-skin") return;
    QApplication::setStyle(CreateSkinStyle());
}

} // namespace veneer
