#include <QActionGroup>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "libs/lacquer/Lacquer.h"
#include "libs/veneer/Colors.h"
#include "libs/veneer/Controls.h"
#include "xml/XmlNode.h"

namespace veneer {

namespace {

constexpr int kCheckColumn = 24; // room for the check or radio mark
constexpr int kArrowColumn = 20; // room for a submenu's arrow
constexpr int kTextPadding = 8;

// The skin's menu font: the SKIN element's "MenuFont", else the widget's.
QFont MenuFont(const QFont& fallback) {
    CXmlNode* root = nullptr;
    std::string text;
    if (lacquer::GetSkinXMLRoot(&root) == lacquer::kEFail || !root ||
        !root->GetAttribute("MenuFont", text) || text.empty())
        return fallback;
    lacquer::LOGFONTA font{};
    lacquer::LoadFont(&font, text);
    return ToQFont(font);
}

// Paints menus in the skin's colours. Everything is drawn with vectors and
// text, so nothing blurs at a device pixel ratio of 2.
class CMenuStyle : public QProxyStyle {
public:
    CMenuStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
        case PM_MenuPanelWidth:
            return 1;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
            return 3;
        case PM_SubMenuOverlap:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (type != CT_MenuItem || !item)
            return QProxyStyle::sizeFromContents(type, option, size, widget);
        if (item->menuItemType == QStyleOptionMenuItem::Separator) return {size.width(), 7};
        const QFontMetrics fm(item->font);
        QString text = item->text;
        const int tab = text.indexOf(QLatin1Char('\t'));
        int shortcut = 0;
        if (tab >= 0) {
            shortcut = fm.horizontalAdvance(text.mid(tab + 1)) + 3 * kTextPadding;
            text = text.left(tab);
        }
        const int width = kCheckColumn +
                          fm.horizontalAdvance(QString(text).remove(QLatin1Char('&'))) +
                          2 * kTextPadding + shortcut + kArrowColumn;
        return {width, fm.height() + 10};
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_PanelMenu || element == PE_FrameMenu) {
            painter->save();
            if (element == PE_PanelMenu)
                painter->fillRect(option->rect, SkinColor(lacquer::kColorFace));
            painter->setPen(SkinColor(lacquer::kColorBorder));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5));
            painter->restore();
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element == CE_MenuEmptyArea) {
            painter->fillRect(option->rect, SkinColor(lacquer::kColorFace));
            return;
        }
        if (element != CE_MenuItem || !item) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRect r = item->rect;
        painter->fillRect(r, SkinColor(lacquer::kColorFace));
        if (item->menuItemType == QStyleOptionMenuItem::Separator) {
            painter->setPen(QPen(SkinColor(lacquer::kColorBorder), 1));
            const qreal y = r.center().y() + 0.5;
            painter->drawLine(QPointF(r.left() + 6, y), QPointF(r.right() - 6, y));
            painter->restore();
            return;
        }
        const bool enabled = item->state & State_Enabled;
        const bool selected = enabled && (item->state & State_Selected);
        if (selected) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(SkinColor(lacquer::kColorHighlight));
            painter->drawRoundedRect(QRectF(r).adjusted(2, 1, -2, -1), 3, 3);
        }
        QColor text = SkinColor(selected ? lacquer::kColorHighlightText : lacquer::kColorFaceText);
        if (!enabled) text.setAlphaF(0.45f);
        painter->setPen(text);
        painter->setBrush(Qt::NoBrush);

        // The mark: a tick for a check, a dot for a radio item.
        if (item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked) {
            const QRectF box(r.left() + 6, r.center().y() - 6, 12, 12);
            if (item->checkType == QStyleOptionMenuItem::Exclusive) {
                painter->setPen(Qt::NoPen);
                painter->setBrush(text);
                painter->drawEllipse(box.center(), 3.5, 3.5);
            } else {
                QPainterPath tick;
                tick.moveTo(box.left() + 2, box.center().y());
                tick.lineTo(box.left() + 5, box.bottom() - 2.5);
                tick.lineTo(box.right() - 1.5, box.top() + 2.5);
                painter->setPen(QPen(text, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                painter->drawPath(tick);
            }
            painter->setPen(text);
            painter->setBrush(Qt::NoBrush);
        }

        QFont font = item->font;
        if (item->menuItemType == QStyleOptionMenuItem::DefaultItem) font.setBold(true);
        painter->setFont(font);
        QString label = item->text;
        QString shortcut;
        if (const int tab = label.indexOf(QLatin1Char('\t')); tab >= 0) {
            shortcut = label.mid(tab + 1);
            label = label.left(tab);
        }
        const QRect textRect = r.adjusted(kCheckColumn + kTextPadding, 0, -kArrowColumn, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, label);
        if (!shortcut.isEmpty())
            painter->drawText(textRect.adjusted(0, 0, -kTextPadding, 0),
                              Qt::AlignRight | Qt::AlignVCenter, shortcut);

        if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
            const qreal x = r.right() - kArrowColumn / 2.0;
            const qreal y = r.center().y() + 0.5;
            QPainterPath arrow;
            arrow.moveTo(x - 2, y - 4);
            arrow.lineTo(x + 2, y);
            arrow.lineTo(x - 2, y + 4);
            painter->setPen(QPen(text, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter->drawPath(arrow);
        }
        painter->restore();
    }
};

} // namespace

CSCMenu::CSCMenu(QWidget* parent) : QMenu(parent) {
    connect(this, &QMenu::aboutToShow, this, &CSCMenu::UpdateItems);
}

CSCMenu::~CSCMenu() {
    // The style must outlive the widget's last use of it.
    setStyle(nullptr);
}

bool CSCMenu::TakeResources(const _UNKNOWN_RESOURCES_*) {
    ApplySkinPalette(this);
    return true;
}

void CSCMenu::ApplyLook(bool ownerDraw) {
    if (ownerDraw) {
        if (!m_style) m_style = std::make_unique<CMenuStyle>();
        setStyle(m_style.get());
        ApplySkinPalette(this);
        setFont(MenuFont(QFont()));
    } else {
        setStyle(nullptr);
        setPalette(QPalette());
        setFont(QFont());
    }
    for (QAction* a : actions())
        if (auto* sub = qobject_cast<CSCMenu*>(a->menu())) sub->ApplyLook(ownerDraw);
}

void CSCMenu::ChangeToOwnerDraw() {
    m_ownerDraw = true;
    ApplyLook(true);
}

void CSCMenu::ClearOwnerDraw() {
    m_ownerDraw = false;
    ApplyLook(false);
}

void CSCMenu::SetMenuTree(const SvMenuTree& tree) {
    clear();
    // Submenus made before are owned by this menu; let them go with the items.
    for (CSCMenu* old : findChildren<CSCMenu*>(Qt::FindDirectChildrenOnly))
        old->deleteLater();
    QActionGroup* radios = nullptr;
    for (const SvMenuItem& item : tree.items) {
        if (item.type == SvMenuItem::Separator) {
            addSeparator();
            radios = nullptr;
            continue;
        }
        QAction* action = nullptr;
        if (item.submenu) {
            auto* sub = new CSCMenu(this);
            sub->setTitle(QString::fromStdString(item.text));
            sub->SetMenuTree(*item.submenu);
            sub->m_update = m_update;
            action = addMenu(sub);
        } else {
            action = addAction(QString::fromStdString(item.text));
            action->setData(item.id);
            const bool radio = item.state & SvMenuItem::RadioCheck;
            action->setCheckable(radio || (item.state & SvMenuItem::Checked));
            action->setChecked(item.state & SvMenuItem::Checked);
            if (radio) {
                if (!radios) {
                    radios = new QActionGroup(this);
                    radios->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
                }
                radios->addAction(action);
            }
        }
        action->setEnabled(!(item.state & SvMenuItem::Disabled));
        if (item.state & SvMenuItem::Default) setDefaultAction(action);
    }
    if (m_ownerDraw) ApplyLook(true);
}

void CSCMenu::SetUpdateHandler(UpdateHandler handler) {
    m_update = std::move(handler);
    for (QAction* a : actions())
        if (auto* sub = qobject_cast<CSCMenu*>(a->menu())) sub->SetUpdateHandler(m_update);
}

void CSCMenu::UpdateItems() {
    if (!m_update) return;
    for (QAction* a : actions()) {
        if (a->isSeparator() || a->menu() || !a->data().isValid()) continue;
        const unsigned id = a->data().toUInt();
        SCommandUI ui;
        ui.enabled = a->isEnabled();
        ui.checked = a->isChecked();
        ui.radio = a->actionGroup() != nullptr;
        m_update(id, ui);
        a->setEnabled(ui.enabled);
        if (ui.checked || ui.radio) a->setCheckable(true);
        a->setChecked(ui.checked);
        if (ui.radio && !a->actionGroup()) {
            auto* group = new QActionGroup(this);
            group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
            group->addAction(a);
        }
        if (!ui.text.isEmpty()) a->setText(ui.text);
    }
}

namespace {
CSCMenu::TrackHook& Hook() {
    static CSCMenu::TrackHook hook;
    return hook;
}
} // namespace

void CSCMenu::SetTrackHook(TrackHook hook) {
    Hook() = std::move(hook);
}

unsigned CSCMenu::TrackPopupMenu(const QPoint& globalPosition) {
    if (Hook()) return Hook()(*this, globalPosition);
    QAction* chosen = exec(globalPosition);
    return chosen && chosen->data().isValid() ? chosen->data().toUInt() : 0u;
}

QAction* CSCMenu::FindCommand(unsigned id) const {
    for (QAction* a : actions()) {
        if (auto* sub = qobject_cast<CSCMenu*>(a->menu())) {
            if (QAction* found = sub->FindCommand(id)) return found;
        } else if (!a->isSeparator() && a->data().isValid() && a->data().toUInt() == id) {
            return a;
        }
    }
    return nullptr;
}

} // namespace veneer
