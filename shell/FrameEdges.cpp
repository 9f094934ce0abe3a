#include "shell/FrameEdges.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace shell {

CFrameEdges::CFrameEdges(QWidget* frame, int border)
    : QObject(frame), m_frame(frame), m_border(border) {
    frame->installEventFilter(this);
}

Qt::Edges CFrameEdges::EdgesAt(QSize size, QPoint pos, int border) {
    Qt::Edges edges;
    if (pos.x() < border) edges |= Qt::LeftEdge;
    if (pos.x() >= size.width() - border) edges |= Qt::RightEdge;
    if (pos.y() < border) edges |= Qt::TopEdge;
    if (pos.y() >= size.height() - border) edges |= Qt::BottomEdge;
    return edges;
}

QRect CFrameEdges::DraggedGeometry(const QRect& start, Qt::Edges edges, QPoint delta,
                                   QSize minimum) {
    int left = start.left(), top = start.top();
    int right = start.right(), bottom = start.bottom();
    // The dragged edge stops where the window would become too small; the
    // opposite edge never moves.
    if (edges & Qt::LeftEdge) left = std::min(left + delta.x(), right - minimum.width() + 1);
    if (edges & Qt::RightEdge) right = std::max(right + delta.x(), left + minimum.width() - 1);
    if (edges & Qt::TopEdge) top = std::min(top + delta.y(), bottom - minimum.height() + 1);
    if (edges & Qt::BottomEdge) bottom = std::max(bottom + delta.y(), top + minimum.height() - 1);
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

bool CFrameEdges::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_frame) {
        // The native window exists from the first show on (and is made anew
        // when the frame's flags change).
        if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange) {
            QWindow* window = m_frame->windowHandle();
            if (window && window != m_window) {
                if (m_window) m_window->removeEventFilter(this);
                m_window = window;
                m_window->installEventFilter(this);
            }
        }
        return false;
    }
    if (watched == m_window) return OnWindowEvent(event);
    return false;
}

bool CFrameEdges::OnWindowEvent(QEvent* event) {
    const bool resizable = !(m_frame->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (m_dragEdges) {
            const QPoint delta = e->globalPosition().toPoint() - m_pressGlobal;
            m_frame->setGeometry(
                DraggedGeometry(m_pressGeometry, m_dragEdges, delta, m_frame->minimumSize()));
            return true;
        }
        if (e->buttons() == Qt::NoButton)
            ShowCursorFor(resizable ? EdgesAt(m_frame->size(), e->position().toPoint(), m_border)
                                    : Qt::Edges(),
                          e->position().toPoint());
        return false;
    }
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton || !resizable) return false;
        const Qt::Edges edges = EdgesAt(m_frame->size(), e->position().toPoint(), m_border);
        if (!edges) return false;
        if (m_window->startSystemResize(edges)) return true;
        // No resize from the window system here (no window manager, or the
        // platform has none): follow the drag ourselves.
        m_dragEdges = edges;
        m_pressGlobal = e->globalPosition().toPoint();
        m_pressGeometry = m_frame->geometry();
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (m_dragEdges && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_dragEdges = {};
            return true;
        }
        return false;
    case QEvent::Leave:
        if (!m_dragEdges) ShowCursorFor({}, {});
        return false;
    default:
        return false;
    }
}

void CFrameEdges::ShowCursorFor(Qt::Edges edges, QPoint pos) {
    if (!edges) {
        if (!m_edgeCursor) return;
        // Back to whatever the widget under the pointer shows.
        m_edgeCursor = false;
        QWidget* under = m_frame->childAt(pos);
        m_window->setCursor((under ? under : m_frame)->cursor());
        return;
    }
    Qt::CursorShape shape = Qt::SizeHorCursor;
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        shape = Qt::SizeFDiagCursor;
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        shape = Qt::SizeBDiagCursor;
    else if (edges == Qt::TopEdge || edges == Qt::BottomEdge)
        shape = Qt::SizeVerCursor;
    m_window->setCursor(shape);
    m_edgeCursor = true;
}

} // namespace shell
