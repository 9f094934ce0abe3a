#include "modules/ModulesFrame.h"

#include "sonvara/MessageEvent.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QUrl>

namespace modules {

CModulesFrame::CModulesFrame(QWidget* parent) : QWidget(parent) {}

bool CModulesFrame::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
        // The topmost child is the last one in stacking order.
        const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        if (!children.isEmpty()) {
            sonvara::CWindowMessageEvent message(
                kNcActivateMessage, event->type() == QEvent::WindowActivate ? 1 : 0, 0);
            QCoreApplication::sendEvent(children.last(), &message);
        }
    }
    return QWidget::event(event);
}

void CModuleButtonDropTarget::Register(QWidget* button) {
    button->setAcceptDrops(true);
    button->installEventFilter(this);
}

bool CModuleButtonDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (event->type() == QEvent::DragEnter) {
            auto* button = static_cast<CModuleButton*>(watched);
            if (button->CommandId() >= 236 && m_activate) m_activate(button->CommandId() - 236);
        }
        drag->setDropAction(Qt::MoveAction);
        drag->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

CModuleButton::CModuleButton(QWidget* parent, int commandId,
                             CModuleButtonDropTarget::Activate dragActivate)
    : veneer::CSCButton(parent), m_id(commandId), m_dropTarget(this, std::move(dragActivate)) {
    setCheckable(true);
    resize(50, 50);
    setEnabled(commandId >= 0);
    m_dropTarget.Register(this);
}

std::intptr_t CQtModuleHostSite::SendWindowMessage(QWidget* window, unsigned message,
                                                   std::uintptr_t wParam, std::intptr_t lParam) {
    if (!window) return 0;
    sonvara::CWindowMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(window, &event);
    return event.Result();
}

void CQtModuleHostSite::ShowModuleWindow(QWidget* window, bool show) {
    if (!window) return;
    if (show) {
        if (m_clientArea && window->parentWidget() == m_clientArea)
            window->setGeometry(m_clientArea->rect());
        window->show();
        window->raise();
    } else {
        window->hide();
    }
}

void CQtModuleHostSite::DestroyModuleWindow(QWidget* window) {
    // Deleted now, not later: the module's library is unloaded right after.
    delete window;
}

void CQtModuleHostSite::SetModuleButtonChecked(QWidget* button, bool checked) {
    if (auto* b = qobject_cast<QAbstractButton*>(button)) b->setChecked(checked);
}

bool CQtModuleHostSite::OpenUrl(const std::string& url) {
    const QString text = QString::fromStdString(url);
    const QUrl target = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl(text);
    return QDesktopServices::openUrl(target);
}

} // namespace modules
